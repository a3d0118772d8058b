"""What the host and Wine sessions share: a scratch folder whose clean-up
survives our own death, skins in it, programs left running in the
background, and runs whose output goes through files."""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, List, Optional

# Runs when its input closes: at close(), or when the test process dies in
# any way. setsid -f puts it outside our process tree, which CTest kills
# whole on a timeout. $1 is the session folder; the rest is the session's
# own clean-up.
GUARD = """read -r _
{ eval "$2"; rm -rf "$1"; } </dev/null >/dev/null 2>&1"""


@dataclass
class RunResult:
    exit_code: int  # -1: still running when the result was taken
    lines: List[str]  # stdout decoded, without line ends
    raw_stdout: bytes
    stderr: str
    boxes: List[str] = field(default_factory=list)  # text of each answered box
    stdout_is_valid: bool = True  # False: some bytes did not decode

    @property
    def stdout(self) -> str:
        return "\n".join(self.lines)


class RunFailed(AssertionError):
    """A run could not be driven as the test asked (a box missing, no end in
    time); the message carries what the program had printed so far."""

    def __init__(self, message: str, partial: RunResult):
        super().__init__(f"{message}\n--- stdout so far ---\n{partial.stdout}"
                         + (f"\n--- stderr ---\n{partial.stderr[-2000:]}" if partial.stderr else ""))
        self.partial = partial


def decode(raw: bytes, encoding: str, stderr: bytes = b"", exit_code: int = -1,
           boxes=()) -> RunResult:
    try:
        text, valid = raw.decode(encoding), True
    except UnicodeDecodeError:
        text, valid = raw.decode(encoding, errors="replace"), False
    lines = text.replace("\r\n", "\n").split("\n")
    if lines[-1] == "":
        lines.pop()
    return RunResult(exit_code, lines, raw, stderr.decode("utf-8", "replace"), list(boxes),
                     valid)


LIBC = ctypes.CDLL(None)


def die_with_parent():
    """preexec_fn: the child gets SIGKILL when the test process dies."""
    LIBC.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def kill_group(proc: subprocess.Popen):
    """Ends proc and its process group (it leads a session of its own)."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    proc.wait(timeout=10)


def wait_until(predicate: Callable[[], bool], timeout: float) -> bool:
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.05)
    return True


class Session:
    """A scratch folder with a work folder and run logs. Subclasses name the
    skin root, say how a path is shown and what the clean-up ends."""

    encoding = "utf-8"  # of the program's standard output

    def __init__(self, name: str, env: dict, cleanup: str = ""):
        self.root = Path(tempfile.mkdtemp(prefix=f"skinalpha-{name}-"))
        self.work = self.root / "work"  # working folder of every run
        self.logs = self.root / "logs"
        self.work.mkdir()
        self.logs.mkdir()
        self.env = env
        self._background: List[subprocess.Popen] = []
        self._runs = 0
        self._guard = subprocess.Popen(
            ["setsid", "-f", "sh", "-c", GUARD, "guard", str(self.root), cleanup],
            env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._guard.wait(timeout=10)  # setsid itself; the guard goes on

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Ends what the session started and removes its folder; waits for
        the guard to finish that."""
        self._end_background()
        if self._guard.stdin.closed:
            return
        self._guard.stdin.close()
        ready, _, _ = select.select([self._guard.stdout], [], [], 60)
        if not ready or self._guard.stdout.read():
            raise RuntimeError(f"the clean-up of {self.root} did not finish in 60 s")
        self._guard.stdout.close()

    def _end_background(self):
        for proc in self._background:
            kill_group(proc)
        self._background = []

    # ---- skins ----------------------------------------------------------

    appdata: Path  # Unix path of the roaming application-data folder
    opened_log: Path  # where the viewer stand-in appends its arguments, a line a call

    @property
    def skin_root(self) -> Path:
        """Unix path of %APPDATA%\\Tencent\\QQ\\Skins\\customize."""
        return self.appdata / "Tencent" / "QQ" / "Skins" / "customize"

    def shown(self, path) -> str:
        """path as the program prints it."""
        raise NotImplementedError

    def reset(self):
        """Fresh scenario: no background program, no skin folder, no opened
        file recorded, an empty work folder."""
        self._end_background()
        shutil.rmtree(self.skin_root.parents[2], ignore_errors=True)  # Tencent
        self.opened_log.unlink(missing_ok=True)
        shutil.rmtree(self.work)
        self.work.mkdir()

    def make_skin(self, name: str, png: Optional[bytes] = None,
                  mtime: Optional[float] = None) -> Path:
        """skin_root/name with main.png holding png unless None; mtime, when
        given, is set on the folder last. Returns the folder."""
        folder = self.skin_root / name
        folder.mkdir(parents=True, exist_ok=True)
        if png is not None:
            (folder / "main.png").write_bytes(png)
        if mtime is not None:
            os.utime(folder, (mtime, mtime))
        return folder

    # ---- what was opened ------------------------------------------------

    def recorded_opens(self, count: int = 1, timeout: float = 10) -> List[List[str]]:
        """The argument lists of the viewer calls once there are count of
        them (viewers start detached), or what there is after timeout."""
        def calls():
            if not self.opened_log.exists():
                return []
            text = self.opened_log.read_bytes().decode("utf-8", "replace")
            return [line.split("\t") for line in text.split("\n") if line]
        wait_until(lambda: len(calls()) >= count, timeout)
        return calls()

    # ---- processes ------------------------------------------------------

    def start_background(self, argv) -> subprocess.Popen:
        """Starts argv without waiting; reset() or close() end it."""
        proc = subprocess.Popen([str(a) for a in argv], env=self.env, cwd=self.work,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True,
                                preexec_fn=die_with_parent)
        self._background.append(proc)
        return proc

    def _run(self, argv, stdin: bytes, timeout: float, during=None, preexec=None,
             note=lambda: "") -> RunResult:
        """Runs argv to its end, stdin from stdin and output into files (a
        program it starts may inherit them and outlive it: a pipe would
        never close). during(proc, partial, deadline) runs meanwhile and
        returns the box texts. Raises RunFailed, with note() added, after
        killing the program."""
        self._runs += 1
        stem = self.logs / f"run{self._runs}"
        stem.with_suffix(".in").write_bytes(stdin)

        def preexec_fn():
            die_with_parent()
            if preexec:
                preexec()
        deadline = time.monotonic() + timeout
        boxes: List[str] = []
        with open(stem.with_suffix(".in"), "rb") as fin, \
                open(stem.with_suffix(".out"), "wb") as fout, \
                open(stem.with_suffix(".err"), "wb") as ferr:
            proc = subprocess.Popen([str(a) for a in argv], env=self.env, cwd=self.work,
                                    stdin=fin, stdout=fout, stderr=ferr,
                                    start_new_session=True, preexec_fn=preexec_fn)

            def partial():
                return decode(stem.with_suffix(".out").read_bytes(), self.encoding,
                              stem.with_suffix(".err").read_bytes(),
                              -1 if proc.poll() is None else proc.returncode, boxes)
            try:
                if during:
                    boxes += during(proc, partial, deadline)
                proc.wait(timeout=max(deadline - time.monotonic(), 0.1))
            except subprocess.TimeoutExpired:
                raise RunFailed(f"{' '.join(map(str, argv))} did not end within {timeout} s"
                                + note(), partial())
            finally:
                kill_group(proc)
        return partial()
