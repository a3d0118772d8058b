"""Restarting the client from a whole run of the host program: a copy of
/bin/sleep named QQ.exe stands in for the client, and a QQScLauncher.exe
script beside it leaves launched.txt when it is started."""

import argparse
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import kill_group, run_cases, wait_until  # noqa: E402
from sample_png import opaque_rgba_png  # noqa: E402

RESTART_BOX = "提示: 重启QQ之后生效，是否立即重启QQ？ [y/n]"
CONFIRM_BOX = "提示: 现在使用的图片是否正确？ [y/n]"
OPACITY_PROMPT = "输入不透明度(0-100)"
PAUSE = "请按任意键继续"
LAUNCHER_SCRIPT = '#!/bin/sh\necho "$0" > "$(dirname "$0")/launched.txt"\n'


def other_clients():
    """Pids of processes already named QQ.exe: the tool would take the first."""
    pids = []
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                if os.readlink(f"/proc/{name}/exe").endswith("/QQ.exe"):
                    pids.append(int(name))
            except OSError:
                pass
    return pids


class Scenario:
    """A temp folder with a skin to work on, a folder for the stand-in
    client, and the client itself once started; closing kills what is left."""

    def __init__(self, exe: Path):
        self.exe = exe
        self.root = Path(tempfile.mkdtemp(prefix="skinalpha-restart-"))
        self.config = self.root / "config"
        skin = self.config / "Tencent" / "QQ" / "Skins" / "customize" / "F2BBEC5E"
        skin.mkdir(parents=True)
        (skin / "main.png").write_bytes(opaque_rgba_png())
        # No desktop viewer may open during a test: xdg-open does nothing.
        self.bin = self.root / "bin"
        self.bin.mkdir()
        self._executable(self.bin / "xdg-open", "#!/bin/sh\nexit 0\n")
        self.client_dir = self.root / "Tencent QQ" / "Bin"
        self.client_dir.mkdir(parents=True)
        self.marker = self.client_dir / "launched.txt"
        self.client = None

    @staticmethod
    def _executable(path: Path, text: str):
        path.write_text(text)
        path.chmod(0o755)

    def add_launcher(self):
        self._executable(self.client_dir / "QQScLauncher.exe", LAUNCHER_SCRIPT)

    def start_client(self):
        qq = self.client_dir / "QQ.exe"
        shutil.copy2("/bin/sleep", qq)
        self.client = subprocess.Popen([str(qq), "300"], start_new_session=True,
                                       stdin=subprocess.DEVNULL)
        assert wait_until(lambda: Path(f"/proc/{self.client.pid}/exe").exists(), 5)
        return qq

    def client_running(self) -> bool:
        return self.client.poll() is None

    def run(self, restart_answer: str, timeout: float = 30):
        """Runs the tool to its end, answering its prompts as a user would:
        Yes to the image, 50 for the opacity, restart_answer to the restart,
        and a key at the final pause. Returns the lines it printed."""
        env = dict(os.environ, XDG_CONFIG_HOME=str(self.config), HOME=str(self.root),
                   PATH=f"{self.bin}:{os.environ.get('PATH', '/usr/bin:/bin')}")
        proc = subprocess.Popen([str(self.exe)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, env=env, cwd=self.root,
                                start_new_session=True)
        answers = {CONFIRM_BOX: b"y\n", RESTART_BOX: restart_answer.encode() + b"\n"}
        out = b""
        handled = 0  # complete lines already answered
        deadline = time.monotonic() + timeout
        try:
            while True:
                left = deadline - time.monotonic()
                assert left > 0, "the run did not end; it printed:\n" + out.decode()
                if select.select([proc.stdout], [], [], left)[0]:
                    chunk = os.read(proc.stdout.fileno(), 4096)
                    if not chunk:
                        break
                    out += chunk
                lines = out.decode("utf-8", "replace").split("\n")
                for line in lines[handled:-1]:
                    reply = answers.get(line) or (b"50\n" if OPACITY_PROMPT in line else None)
                    if reply is not None and not proc.stdin.closed:
                        proc.stdin.write(reply)
                        proc.stdin.flush()
                handled = len(lines) - 1
                if lines[-1].startswith(PAUSE) and not proc.stdin.closed:
                    proc.stdin.write(b"\n")
                    proc.stdin.close()
            assert proc.wait(timeout=5) == 0
        finally:
            kill_group(proc)
        return out.decode("utf-8").split("\n")

    def close(self):
        if self.client is not None:
            kill_group(self.client)
        shutil.rmtree(self.root, ignore_errors=True)


def scenario(exe, body):
    assert not other_clients(), "another QQ.exe runs already: %s" % other_clients()
    s = Scenario(exe)
    try:
        body(s)
    finally:
        s.close()


def yes_ends_the_client_and_starts_its_launcher(exe):
    def body(s):
        s.add_launcher()
        qq = s.start_client()
        lines = s.run("y")
        found = lines.index("找到进程: QQ.exe")
        assert lines[found + 1] == RESTART_BOX, lines
        assert lines[found + 2:found + 5] == [f"进程路径: {qq}", "", "已关闭!"], lines
        assert wait_until(lambda: not s.client_running(), 5), "the client still runs"
        assert s.client.returncode == -signal.SIGKILL, s.client.returncode
        assert wait_until(s.marker.exists, 5), "the launcher was not started"
        assert wait_until(lambda: s.marker.read_text().strip() != "", 5)
        assert s.marker.read_text().strip() == str(s.client_dir / "QQScLauncher.exe")
    scenario(exe, body)


def without_a_launcher_the_client_goes_on_running(exe):
    def body(s):
        qq = s.start_client()
        lines = s.run("y")
        assert f"进程路径: {qq}" in lines, lines
        assert "已关闭!" not in lines, lines
        assert any(line.startswith("无法重启QQ: ") and "QQScLauncher.exe" in line
                   for line in lines), lines
        time.sleep(0.3)
        assert s.client_running(), "the client was ended with no launcher to restart it"
    scenario(exe, body)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    args = parser.parse_args()
    return run_cases([yes_ends_the_client_and_starts_its_launcher,
                      without_a_launcher_the_client_goes_on_running],
                     Path(args.exe).resolve())


if __name__ == "__main__":
    sys.exit(main())
