"""Scratch surroundings for end-to-end runs of the host build: a temporary
XDG_CONFIG_HOME holding the skin root, a folder at the head of PATH for
stand-in programs (xdg-open records its arguments from the start), and the
way to run the program to its end (standard library only).

On the host a message box is one stdout line "caption: text" (a Yes/No box
adds " [y/n]") and its answer is the next non-empty stdin line, so answers
simply go into stdin_bytes in order.

    with HostSession() as h:
        h.make_skin("皮肤", png_bytes)
        r = h.run(exe, b"y\\n50\\n\\n")
        assert box_line("提示", "现在使用的图片是否正确？") in r.lines
"""

import os
import shlex
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from typing import List, Optional, Sequence, Tuple

from harness_common import (Session, script_main, HarnessError, RunResult, RunTimeout, TermAsExit, Watchdog,
                            kill_group, make_result, wait_until)

DROPPED_ENV = ("LANG", "LANGUAGE", "TZ", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
               "DBUS_SESSION_BUS_ADDRESS")

RECORDER_SCRIPT = """#!/bin/sh
# Stand-in for {name}: appends its arguments, tab-separated, as one line.
{{
  first=1
  for arg in "$@"; do
    if [ $first = 1 ]; then first=0; else printf '\\t'; fi
    printf '%s' "$arg"
  done
  printf '\\n'
}} >> {log}
"""

LAUNCHER_SCRIPT = """#!/bin/sh
# Stand-in for the client's launcher: leaves its own path in launched.txt.
printf '%s' "$0" > "$(dirname "$0")/launched.txt"
"""


def box_line(caption: str, text: str, yes_no: bool = True) -> str:
    """The stdout line the host build prints for a message box."""
    return f"{caption}: {text}" + (" [y/n]" if yes_no else "")


class HostSession(Session):
    """Context manager owning a temp folder with HOME, XDG_CONFIG_HOME, a
    PATH folder for stand-ins and a work folder; closing ends every process
    started through it and removes the folder."""

    def __init__(self, workdir=None, keep: bool = False):
        self._workdir = workdir
        self.keep = keep
        self.root: Optional[Path] = None
        self._background: List[subprocess.Popen] = []
        self._runs = 0
        self._term = TermAsExit()
        self._watchdog = None

    def start(self):
        self._term.install()
        self.root = Path(tempfile.mkdtemp(prefix="skinalpha-host-", dir=self._workdir))
        self.home = self.root / "home"
        self.config_home = self.root / "config"
        self.bin_dir = self.root / "bin"
        self.work = self.root / "work"  # default working directory of runs
        self._logs = self.root / "logs"
        for d in (self.home, self.config_home, self.bin_dir, self.work, self._logs):
            d.mkdir()
        # Every process started here carries this HOME.
        self._watchdog = Watchdog(b"HOME=" + os.fsencode(self.home), [self.root])
        env = {k: v for k, v in os.environ.items()
               if k not in DROPPED_ENV and not k.startswith(("LC_", "XDG_"))}
        env.update({
            "HOME": str(self.home), "XDG_CONFIG_HOME": str(self.config_home),
            "XDG_DATA_HOME": str(self.root / "data"), "XDG_CACHE_HOME": str(self.root / "cache"),
            "PATH": f"{self.bin_dir}:{os.environ.get('PATH', '/usr/bin:/bin')}",
            "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8",
        })
        self.env = env
        # No desktop program may open during a test.
        self.add_recorder("xdg-open")

    def close(self):
        for proc in self._background:
            kill_group(proc, wait=2)
        self._background = []
        if self.root is not None and not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)
        if self._watchdog is not None:
            self._watchdog.disarm()
            self._watchdog = None
        self._term.restore()

    # ---- paths and scenarios -------------------------------------------

    @property
    def skin_root(self) -> Path:
        """$XDG_CONFIG_HOME/Tencent/QQ/Skins/customize."""
        return self.config_home / "Tencent" / "QQ" / "Skins" / "customize"

    def reset(self):
        """Fresh scenario: background programs ended, no skin folders (the
        whole Tencent folder removed), recorder logs emptied, work folder
        emptied. Stand-in programs stay."""
        for proc in self._background:
            kill_group(proc, wait=2)
        self._background = []
        shutil.rmtree(self.config_home / "Tencent", ignore_errors=True)
        for log in self.bin_dir.glob("*.log"):
            log.unlink()
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir()

    def make_skin(self, name: str, png_bytes: Optional[bytes] = None,
                  mtime: Optional[float] = None) -> Path:
        """Creates skin_root/name (parents included), with main.png holding
        png_bytes unless None; mtime, when given, is set on the folder last.
        Returns the folder."""
        folder = self.skin_root / name
        folder.mkdir(parents=True, exist_ok=True)
        if png_bytes is not None:
            (folder / "main.png").write_bytes(png_bytes)
        if mtime is not None:
            os.utime(folder, (mtime, mtime))
        return folder

    # ---- stand-in programs ---------------------------------------------

    def add_program(self, name: str, text: str) -> Path:
        """Puts an executable file name with content text (a script with its
        #! line) into the PATH folder; returns its path."""
        path = self.bin_dir / name
        path.write_text(text)
        path.chmod(0o755)
        return path

    def add_recorder(self, name: str) -> Path:
        """A stand-in program name that records each call's arguments in
        bin_dir/name.log; read them with recorded_calls(name)."""
        log = self.bin_dir / f"{name}.log"
        return self.add_program(name, RECORDER_SCRIPT.format(name=name,
                                                             log=shlex.quote(str(log))))

    def recorded_calls(self, name: str, count: int = 1, timeout: float = 5) -> List[List[str]]:
        """The argument lists of the calls of recorder name, once there are at
        least count (programs are started without waiting for them), or what
        is there when timeout runs out; count=0 reads at once."""
        log = self.bin_dir / f"{name}.log"

        def calls():
            if not log.exists():
                return []
            text = log.read_bytes().decode("utf-8", "replace")
            return [line.split("\t") for line in text.split("\n") if line]
        wait_until(lambda: len(calls()) >= count, timeout if count else 0)
        return calls()

    def install_fake_client(self, folder) -> Tuple[Path, Path]:
        """Puts a copy of /bin/sleep named QQ.exe (so /proc/PID/exe names
        it) and a QQScLauncher.exe script that leaves launched.txt (its own
        path) into folder; returns both paths."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        qq, launcher = folder / "QQ.exe", folder / "QQScLauncher.exe"
        shutil.copy2(shutil.which("sleep") or "/bin/sleep", qq)
        launcher.write_text(LAUNCHER_SCRIPT)
        launcher.chmod(0o755)
        return qq, launcher

    def start_client(self, qq_exe, seconds: int = 120, timeout: float = 5) -> subprocess.Popen:
        """Starts the client stand-in and returns once /proc shows it under
        its own name; reset() or close() end it if the test does not."""
        proc = self.start_background([str(qq_exe), str(seconds)])

        def listed():
            try:
                return os.readlink(f"/proc/{proc.pid}/exe") == str(Path(qq_exe).resolve())
            except OSError:
                return False
        if not wait_until(lambda: listed() or proc.poll() is not None, timeout):
            raise HarnessError(f"{qq_exe} did not show in /proc within {timeout} s")
        if proc.poll() is not None:
            raise HarnessError(f"{qq_exe} exited at once with {proc.returncode}")
        return proc

    def start_background(self, argv: Sequence[str]) -> subprocess.Popen:
        """Starts argv in its own session without waiting; output discarded."""
        proc = subprocess.Popen(list(argv), env=self.env, cwd=self.work,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        self._background.append(proc)
        return proc

    # ---- runs -----------------------------------------------------------

    def run(self, exe, stdin_bytes: bytes = b"", timeout: float = 30, args: Sequence[str] = (),
            cwd=None, env: Optional[dict] = None) -> RunResult:
        """Runs exe to its end with stdin from stdin_bytes (all answers, in
        order) and stdout/stderr captured; env adds or overrides variables.
        Raises RunTimeout (after killing its process group) with the output
        so far; the last line then is usually the question left unanswered."""
        self._runs += 1
        stem = self._logs / f"run{self._runs}"
        stem.with_suffix(".in").write_bytes(stdin_bytes)
        start = time.monotonic()
        with open(stem.with_suffix(".in"), "rb") as fin, \
                open(stem.with_suffix(".out"), "wb") as fout, \
                open(stem.with_suffix(".err"), "wb") as ferr:
            # Files rather than pipes: a program it starts may inherit them.
            proc = subprocess.Popen([str(exe), *args], env=dict(self.env, **(env or {})),
                                    cwd=str(cwd or self.work), stdin=fin, stdout=fout,
                                    stderr=ferr, start_new_session=True)
            try:
                proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                kill_group(proc)
                raise RunTimeout(f"{exe} did not end within {timeout} s",
                                 make_result(-1, stem.with_suffix(".out").read_bytes(), "utf-8",
                                             stem.with_suffix(".err").read_bytes(),
                                             elapsed=time.monotonic() - start))
            finally:
                kill_group(proc)
        return make_result(proc.returncode, stem.with_suffix(".out").read_bytes(), "utf-8",
                           stem.with_suffix(".err").read_bytes(),
                           elapsed=time.monotonic() - start)


def host_main(cases) -> int:
    """main() of a script whose cases each take (HostSession, exe)."""
    return script_main(cases, HostSession, with_tools=False)
