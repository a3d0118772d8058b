"""Restarting the client from a whole run of the host program: a copy of
/bin/sleep named QQ.exe stands in for the client, and a QQScLauncher.exe
script beside it leaves launched.txt when it is started."""

import os
import signal
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import wait_until  # noqa: E402
from host_session import HostSession, box_line, host_main  # noqa: E402
from sample_png import opaque_rgba_png  # noqa: E402

RESTART_BOX = box_line("提示", "重启QQ之后生效，是否立即重启QQ？")
# Yes to the image, 50 for the opacity, Yes to the restart, a key to end.
ANSWERS = b"y\n50\ny\n\n"


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


def run_over_client(h: HostSession, exe: Path, with_launcher: bool):
    """A whole run while the stand-in client runs; returns the run, the
    client's process and the launcher's marker file."""
    assert not other_clients(), "another QQ.exe runs already: %s" % other_clients()
    h.reset()
    h.make_skin("F2BBEC5E", opaque_rgba_png())
    qq, launcher = h.install_fake_client(h.work / "Tencent QQ" / "Bin")
    if not with_launcher:
        launcher.unlink()
    client = h.start_client(qq)
    result = h.run(exe, ANSWERS)
    assert result.exit_code == 0, result.stdout
    found = result.lines.index("找到进程: QQ.exe")
    assert result.lines[found + 1:found + 3] == [RESTART_BOX, f"进程路径: {qq}"], result.lines
    return result, client, qq.parent / "launched.txt"


def yes_ends_the_client_and_starts_its_launcher(h: HostSession, exe: Path):
    result, client, marker = run_over_client(h, exe, with_launcher=True)
    found = result.lines.index("找到进程: QQ.exe")
    assert result.lines[found + 3:found + 5] == ["", "已关闭!"], result.lines
    assert wait_until(lambda: client.poll() is not None, 5), "the client still runs"
    assert client.returncode == -signal.SIGKILL, client.returncode
    assert wait_until(lambda: marker.exists() and marker.read_text() != "", 5), \
        "the launcher was not started"
    assert marker.read_text() == str(marker.parent / "QQScLauncher.exe")


def without_a_launcher_the_client_goes_on_running(h: HostSession, exe: Path):
    result, client, _ = run_over_client(h, exe, with_launcher=False)
    assert "已关闭!" not in result.lines, result.lines
    assert any(line.startswith("无法重启QQ: ") and "QQScLauncher.exe" in line
               for line in result.lines), result.lines
    time.sleep(0.3)
    assert client.poll() is None, "the client was ended with no launcher to restart it"


def main() -> int:
    return host_main([yes_ends_the_client_and_starts_its_launcher,
                      without_a_launcher_the_client_goes_on_running])


if __name__ == "__main__":
    sys.exit(main())
