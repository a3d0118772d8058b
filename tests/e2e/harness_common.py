"""Pieces shared by the Wine and host sessions: run results, process clean-up
and the small case runner the e2e scripts use (standard library only)."""

import os
import signal
import subprocess
import sys
import time
import traceback
from dataclasses import dataclass, field
from typing import List, Optional


class HarnessError(AssertionError):
    """A run could not be driven as the test expected. Carries what the
    program had printed so far, so the failure message shows where it was."""

    def __init__(self, message: str, partial: Optional["RunResult"] = None):
        if partial is not None:
            message += f" (after {partial.elapsed:.1f} s)"
            message += "\n--- stdout so far ---\n" + partial.stdout
            if partial.stderr.strip():
                message += "\n--- stderr ---\n" + partial.stderr[-2000:]
        super().__init__(message)
        self.partial = partial


class RunTimeout(HarnessError):
    """The program did not end within the run's time limit."""


class BoxNotFound(HarnessError):
    """An expected message box did not appear in time (or the program ended
    before showing it)."""


class BoxMismatch(HarnessError):
    """The box appeared but could not be answered as asked (it lacks the
    button, or it stayed open after the answer)."""


@dataclass
class RunResult:
    exit_code: int
    stdout: str  # decoded, CR LF turned into LF
    lines: List[str]
    boxes: List[str] = field(default_factory=list)  # text of each answered box
    raw_stdout: bytes = b""
    stderr: str = ""
    stdout_is_valid: bool = True  # False: some bytes did not decode
    elapsed: float = 0.0


def decode_output(raw: bytes, encoding: str):
    """Returns (text with LF line ends, whether every byte decoded)."""
    try:
        text, valid = raw.decode(encoding), True
    except UnicodeDecodeError:
        text, valid = raw.decode(encoding, errors="replace"), False
    return text.replace("\r\n", "\n"), valid


def split_lines(text: str) -> List[str]:
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def make_result(exit_code, raw, encoding, stderr=b"", boxes=None, elapsed=0.0) -> RunResult:
    text, valid = decode_output(raw, encoding)
    err, _ = decode_output(stderr, "utf-8")
    return RunResult(exit_code, text, split_lines(text), list(boxes or []), raw, err, valid,
                     elapsed)


def die_with_parent():
    """preexec_fn: the child gets SIGKILL when this Python process dies, even
    by SIGKILL, so a killed test run leaves no server behind."""
    import ctypes

    PR_SET_PDEATHSIG = 1
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
    except (OSError, AttributeError):
        pass


def kill_group(proc: subprocess.Popen, wait: float = 5.0):
    """Kills proc and the rest of its process group (it was started with
    start_new_session), then reaps it."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            proc.kill()
    try:
        proc.wait(timeout=wait)
    except subprocess.TimeoutExpired:
        pass


def process_state(pid: int) -> str:
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read().decode("utf-8", "replace")
        return stat[stat.rindex(")") + 2:].split(" ", 1)[0]
    except (OSError, ValueError):
        return ""


def live_processes_with_env(marker: bytes) -> List[int]:
    """Pids of live (not zombie) processes whose environment holds marker,
    e.g. b"WINEPREFIX=/tmp/x/prefix"; our own process is left out."""
    found = []
    needle = marker + b"\0"
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) == os.getpid():
            continue
        try:
            with open(f"/proc/{name}/environ", "rb") as f:
                env = f.read()
        except OSError:
            continue
        if (env.startswith(needle) or b"\0" + needle in env) and process_state(int(name)) not in (
                "Z", "X", ""):
            found.append(int(name))
    return found


def wait_until(predicate, timeout: float, interval: float = 0.05) -> bool:
    deadline = time.monotonic() + timeout
    while True:
        if predicate():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)


class Watchdog:
    """A helper process, in a session of its own, that outlives us: if we
    die without disarm() (SIGKILL, a crash), it kills every live process
    whose environment holds marker and removes the given paths. Wine's
    service processes survive the death of their wineserver, so pdeathsig
    alone does not clean up."""

    def __init__(self, marker: bytes, remove=()):
        """remove: paths to delete; "@FILE" deletes the folder named in FILE
        (relative to /tmp or $TMPDIR), read before the others go."""
        read_end, self._write_end = os.pipe()
        code = ("import sys; sys.path.insert(0, %r); import harness_common; "
                "harness_common.watchdog_main()" % os.path.dirname(os.path.abspath(__file__)))
        self._proc = subprocess.Popen(
            [sys.executable, "-c", code, str(read_end), os.fsdecode(marker),
             *[os.fsdecode(p) for p in remove]],
            pass_fds=(read_end,), start_new_session=True, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(read_end)

    def disarm(self):
        if self._write_end >= 0:
            os.write(self._write_end, b"done")
            os.close(self._write_end)
            self._write_end = -1
            try:
                self._proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()


def watchdog_main():
    import shutil

    fd, marker, paths = int(sys.argv[1]), os.fsencode(sys.argv[2]), sys.argv[3:]
    data = b""
    while True:
        try:
            chunk = os.read(fd, 16)
        except InterruptedError:
            continue
        if not chunk:
            break
        data += chunk
    if data == b"done":
        return
    for _ in range(5):  # killing one may let another start
        pids = live_processes_with_env(marker)
        if not pids:
            break
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.2)
    named = []
    for path in paths:
        if path.startswith("@"):
            try:
                name = open(path[1:]).read().strip()
            except OSError:
                continue
            if name.startswith("wine-") and "/" not in name:
                named.append(os.path.join(os.environ.get("TMPDIR") or "/tmp", name))
    for path in named + [p for p in paths if not p.startswith("@")]:
        shutil.rmtree(path, ignore_errors=True)


class TermAsExit:
    """Turns SIGTERM (CTest's timeout, a CI stop) into SystemExit while a
    session is open, so its clean-up still runs."""

    def __init__(self):
        self._old = None

    def install(self):
        if self._old is None and signal.getsignal(signal.SIGTERM) == signal.SIG_DFL:
            try:
                self._old = signal.signal(signal.SIGTERM, self._handler)
            except ValueError:  # not the main thread
                self._old = None

    def restore(self):
        if self._old is not None:
            signal.signal(signal.SIGTERM, self._old)
            self._old = None

    @staticmethod
    def _handler(signum, frame):
        raise SystemExit(128 + signum)


class Tally:
    """Counts cases for the closing "N passed, N failed" line. A case is a
    function; any exception from it is a failure, printed with its trace."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def run(self, case, *args):
        start = time.monotonic()
        try:
            case(*args)
        except Exception:  # a failing case must not stop the others
            self.fail(f"{case.__name__} ({time.monotonic() - start:.1f} s)")
        else:
            self.passed += 1
            print(f"PASS {case.__name__} ({time.monotonic() - start:.1f} s)", flush=True)

    def fail(self, what: str):
        """Records a failure of what; call from inside an except block."""
        self.failed += 1
        print(f"FAIL {what}")
        traceback.print_exc(file=sys.stdout)
        sys.stdout.flush()

    def finish(self) -> int:
        """Prints the closing line; returns the exit status for the script."""
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 and self.passed > 0 else 1


def run_cases(cases, *args) -> int:
    """Runs each case(*args) and prints the closing line; returns the exit
    status for the script."""
    tally = Tally()
    for case in cases:
        tally.run(case, *args)
    return tally.finish()


class Session:
    """Context-manager lifetime shared by the host and Wine sessions: a
    start() that fails half-way is still closed, and close() always runs."""

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def script_main(cases, session_factory, with_tools: bool) -> int:
    """Command line of an end-to-end script: --exe (and --tools for Wine);
    runs each case(session, exe) and prints the closing line."""
    import argparse
    from pathlib import Path

    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    if with_tools:
        parser.add_argument("--tools", required=True, help="folder of the built test programs")
    args = parser.parse_args()
    with session_factory(*([args.tools] if with_tools else [])) as session:
        return run_cases(cases, session, Path(args.exe).resolve())
