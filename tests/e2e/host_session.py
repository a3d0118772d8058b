"""Scratch surroundings for whole runs of the host build: XDG_CONFIG_HOME
holding the skin root, an xdg-open that records what it was asked to open,
and stand-ins for the client.

A message box is a stdout line "caption: text" (a Yes/No box adds " [y/n]")
answered by the next non-empty stdin line, so a run's answers are simply
its input, in order."""

import os
import resource
import shutil
import subprocess
from pathlib import Path
from typing import Tuple

from session import RunFailed, RunResult, Session, decode, die_with_parent, kill_group, wait_until

# Variables of the calling shell that would change what the program does.
DROPPED_ENV = ("LANG", "LANGUAGE", "TZ", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
               "DBUS_SESSION_BUS_ADDRESS")

XDG_OPEN = """#!/bin/sh
# Records its arguments, tab-separated, as one line; opens nothing.
(IFS='\t'; printf '%s\\n' "$*") >> "$(dirname "$0")/xdg-open.log"
"""

LAUNCHER = """#!/bin/sh
# Stands in for the client's launcher: leaves its own path in launched.txt.
printf '%s' "$0" > "$(dirname "$0")/launched.txt"
"""


def box_line(caption: str, text: str, yes_no: bool = True) -> str:
    """The stdout line the host build prints for a message box."""
    return f"{caption}: {text}" + (" [y/n]" if yes_no else "")


class HostSession(Session):
    """Closing ends every process started through the session and removes
    its folder."""

    def __init__(self):
        env = {k: v for k, v in os.environ.items()
               if k not in DROPPED_ENV and not k.startswith(("LC_", "XDG_"))}
        super().__init__("host", env)
        self.appdata = self.root / "config"
        self.bin = self.root / "bin"
        self.bin.mkdir()
        self.opened_log = self.bin / "xdg-open.log"
        env.update({
            "HOME": str(self.root), "XDG_CONFIG_HOME": str(self.appdata),
            "XDG_DATA_HOME": str(self.root / "data"), "XDG_CACHE_HOME": str(self.root / "cache"),
            "PATH": f"{self.bin}:{os.environ.get('PATH', '/usr/bin:/bin')}",
            "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
        (self.bin / "xdg-open").write_text(XDG_OPEN)
        (self.bin / "xdg-open").chmod(0o755)

    def shown(self, path) -> str:
        return str(path)

    def run(self, exe, stdin: bytes = b"", timeout: float = 30, file_size_limit=None,
            args=()) -> RunResult:
        """Runs exe to its end with stdin holding every answer in order.
        file_size_limit (bytes) makes larger writes fail, as a full disk does."""
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, resource.RLIM_INFINITY))
        return self._run([exe, *args], stdin, timeout,
                         preexec=limit if file_size_limit else None)

    def start(self, exe) -> "LiveRun":
        """Starts exe with its input left open, to be typed as it goes."""
        return LiveRun(self, exe)

    # ---- the client -----------------------------------------------------

    def install_fake_client(self, folder) -> Tuple[Path, Path]:
        """A copy of sleep named QQ.exe (so /proc/PID/exe names it) and a
        QQScLauncher.exe that leaves launched.txt beside itself."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        qq, launcher = folder / "QQ.exe", folder / "QQScLauncher.exe"
        shutil.copy2(shutil.which("sleep"), qq)
        launcher.write_text(LAUNCHER)
        launcher.chmod(0o755)
        return qq, launcher

    def start_client(self, qq) -> subprocess.Popen:
        """Starts the client stand-in; returns once /proc names it."""
        proc = self.start_background([qq, "120"])

        def listed():
            try:
                return os.readlink(f"/proc/{proc.pid}/exe") == str(qq)
            except OSError:
                return False
        assert wait_until(lambda: listed() or proc.poll() is not None, 5) and proc.poll() is None, \
            f"{qq} did not start"
        return proc


class LiveRun:
    """A run whose answers are typed while the test looks on."""

    def __init__(self, session: HostSession, exe):
        self._out = session.logs / f"live{id(self)}.out"
        with open(self._out, "wb") as out:
            self._proc = subprocess.Popen([str(exe)], env=session.env, cwd=session.work,
                                          stdin=subprocess.PIPE, stdout=out,
                                          stderr=subprocess.STDOUT, start_new_session=True,
                                          preexec_fn=die_with_parent)
        session._background.append(self._proc)

    def result(self) -> RunResult:
        code = self._proc.poll()
        return decode(self._out.read_bytes(), "utf-8", exit_code=-1 if code is None else code)

    def type(self, line: str):
        self._proc.stdin.write(line.encode() + b"\n")
        self._proc.stdin.flush()

    def wait_for(self, line: str, timeout: float = 20):
        if not wait_until(lambda: line in self.result().lines or self._proc.poll() is not None,
                          timeout) or line not in self.result().lines:
            self.kill()
            raise RunFailed(f"no line {line!r} within {timeout} s", self.result())

    def finish(self, timeout: float = 30) -> RunResult:
        """Closes the input and waits for the end."""
        self._proc.stdin.close()
        try:
            self._proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise RunFailed(f"no end within {timeout} s", self.result())
        return self.result()

    def kill(self):
        kill_group(self._proc)
