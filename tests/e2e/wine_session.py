"""A private Wine prefix, display and wineserver for whole runs of the
Windows build, the way to run a program in it and answer its message boxes,
and a real console (a tmux pane) to run it on.

One session makes one prefix (about 10 s); scenarios reuse it, each after
reset(). Never drive two runs of one session at once."""

import os
import select
import shlex
import shutil
import subprocess
import time
from pathlib import Path
from typing import List, Optional, Sequence, Tuple

from session import RunFailed, RunResult, Session, die_with_parent, wait_until

WINE = shutil.which("wine") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
TOOLS = ("boxpress.exe", "recorder.exe", "fake_qq.exe", "fake_launcher.exe", "smoke_box.exe",
         "double_click.exe")
# ANSI code page -> the host locale that gives it (generated under LOCPATH).
LOCALES = {936: "zh_CN", 1252: "en_US"}
# What cmd's "pause" prints in each.
PAUSE_TEXT = {936: "请按任意键继续", 1252: "Press any key to continue"}
# Variables of the calling shell that would change how Wine behaves.
DROPPED_ENV = ("LANG", "LANGUAGE", "TZ", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "TMUX",
               "WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINESERVER",
               "WINELOADER", "LOCPATH", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME")
# Anything left running keeps the server alive: -k ends every process of the
# prefix, then the server. $1 is the session folder.
CLEANUP = f"""export WINEPREFIX="$1/prefix"
[ -S "$1/tmux.sock" ] && tmux -S "$1/tmux.sock" kill-server
timeout 20 {WINESERVER} -k; timeout 30 {WINESERVER} -w
d=$(cat "$WINEPREFIX/wineserver"); case "$d" in wine-*) rm -rf "${{TMPDIR:-/tmp}}/$d";; esac"""
BOXPRESS_FAILURES = {2: "did not appear", 3: "has no such button", 4: "stayed open after the answer"}


class WineSession(Session):
    """A prefix whose ANSI code page is code_page (936 or 1252) and whose
    roaming AppData lies under C:\\users\\<profile> when profile is given,
    with an Xvfb and a persistent wineserver. Closing ends every Wine
    process, the server and the display, and removes the folder."""

    encoding = "gbk"  # the program prints GBK on a pipe under every code page

    def __init__(self, tools_dir, code_page: int = 936, profile: Optional[str] = None):
        self.tools_dir = Path(tools_dir).resolve()
        missing = [t for t in TOOLS if not (self.tools_dir / t).is_file()]
        assert not missing, f"{self.tools_dir} lacks {missing}: build e2e_tools"
        self.code_page = code_page
        self.pause_text = PAUSE_TEXT[code_page]
        self._xvfb = None
        env = {k: v for k, v in os.environ.items()
               if k not in DROPPED_ENV and not k.startswith("LC_")}
        super().__init__("wine", env, CLEANUP)
        try:
            self._start(profile)
        except BaseException:
            self.close()
            raise

    def _start(self, profile):
        lang = LOCALES[self.code_page] + ".UTF-8"
        home, self.prefix, locales = self.root / "home", self.root / "prefix", self.root / "locale"
        home.mkdir()
        locales.mkdir()
        self.env.update({
            "HOME": str(home), "USER": "tester", "LOGNAME": "tester", "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d",
            "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "LOCPATH": str(locales),
            # Wine's desktop process, started with the prefix, needs it.
            "DISPLAY": self._start_xvfb()})
        # Wine falls back to code page 1252 silently when the locale is
        # missing; generating it (2 s) overlaps making the prefix.
        localedef = subprocess.Popen(
            ["localedef", "-i", LOCALES[self.code_page], "-f", "UTF-8", str(locales / lang)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
        # The first program in an empty prefix makes it; -w waits until
        # wineboot's last step is done and that server has gone.
        self._wine(["cmd", "/c", "exit"], timeout=120)
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=60)
        # A persistent server: later programs start in 0.2 s instead of 1.5.
        subprocess.run([WINESERVER, "-p"], env=self.env, timeout=30, check=True)
        localedef.wait(timeout=60)
        assert (locales / lang / "LC_CTYPE").is_file(), f"localedef made no {lang}"
        self.env.update({"LANG": lang, "LC_ALL": lang})

        self.drive_c = self.prefix / "drive_c"
        self.tools = self.drive_c / "testtools"
        self.opened_log = self.tools / "recorder.log"
        shutil.copytree(self.tools_dir, self.tools, ignore=lambda _, names: [
            n for n in names if not n.endswith(".exe")])
        self.appdata = self.drive_c / "users" / (profile or "tester") / "AppData" / "Roaming"
        self.appdata.mkdir(parents=True, exist_ok=True)
        self._write_registry(profile is not None)
        # The first program that needs the desktop starts Wine's desktop
        # process; a box and boxpress doing so at once can leave the box
        # failing at once, so a first look at the windows does it here.
        self.windows()
        where = self._wine([self.tools / "boxpress.exe", "--where"]).raw_stdout.decode()
        assert where == f"{self.code_page}\t{self.to_windows(self.appdata)}\n", \
            f"the prefix is not as asked: code page and AppData are {where!r}"

    def close(self):
        try:
            super().close()
        finally:
            if self._xvfb is not None:
                self._xvfb.kill()
                self._xvfb.wait(timeout=10)
                self._xvfb = None

    def _start_xvfb(self) -> str:
        # -displayfd: the server takes a free display itself, so two sessions
        # never race for one.
        read_end, write_end = os.pipe()
        try:
            with open(self.logs / "xvfb.log", "wb") as log:
                self._xvfb = subprocess.Popen(
                    ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                     "1024x768x24"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=log, preexec_fn=die_with_parent)
            os.close(write_end)
            # It writes the number and the line end apart, and dies if the
            # pipe is closed in between.
            display = b""
            while not display.endswith(b"\n"):
                assert select.select([read_end], [], [], 15)[0], "Xvfb named no display in 15 s"
                chunk = os.read(read_end, 64)
                assert chunk, "Xvfb exited: " + (self.logs / "xvfb.log").read_text()
                display += chunk
            return ":" + display.decode().strip()
        finally:
            os.close(read_end)

    def _write_registry(self, moved_appdata: bool):
        def sz(value):
            return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
        keys = {
            # Without a window manager each box takes ~2 s to close otherwise.
            r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": '"Managed"="N"',
            # A crash must end the program, not open a blocking dialog.
            r"HKEY_CURRENT_USER\Software\Wine\WineDbg": '"ShowCrashDialog"=dword:00000000',
            # recorder.exe is the .png viewer; Wine 8 reads associations from HKCR only.
            r"HKEY_CLASSES_ROOT\.png": '@="skinalpha.testviewer"',
            r"HKEY_CLASSES_ROOT\skinalpha.testviewer\shell\open\command":
                "@=" + sz(f'"{self.to_windows(self.tools)}\\recorder.exe" "%1"')}
        if moved_appdata:
            folder = self.to_windows(self.appdata)
            explorer = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer"
            expand_sz = ",".join(f"{b:02x}" for b in (folder + "\0").encode("utf-16-le"))
            keys[explorer + r"\User Shell Folders"] = '"AppData"=hex(2):' + expand_sz
            keys[explorer + r"\Shell Folders"] = '"AppData"=' + sz(folder)
        text = "Windows Registry Editor Version 5.00\r\n\r\n" + "".join(
            f"[{key}]\r\n{value}\r\n\r\n" for key, value in keys.items())
        reg = self.logs / "settings.reg"
        reg.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
        self._wine(["regedit", "/s", self.to_windows(reg)])

    def _wine(self, args, timeout: float = 30) -> RunResult:
        """Runs `wine ARGS` for the session's own needs; it must succeed."""
        r = self._run([WINE, *args], b"", timeout)
        assert r.exit_code == 0, f"wine {args} failed with {r.exit_code}: {r.stderr[-2000:]}"
        return r

    # ---- paths ----------------------------------------------------------

    def to_windows(self, path) -> str:
        """Windows form of a Unix path: C: is drive_c, Z: the Unix root."""
        path = Path(path)
        if path.is_relative_to(self.drive_c):
            return "C:\\" + "\\".join(path.relative_to(self.drive_c).parts)
        return "Z:" + str(path).replace("/", "\\")

    shown = to_windows

    # ---- the client -----------------------------------------------------

    def install_fake_client(self, folder) -> Tuple[Path, Path]:
        """The client stand-ins as QQ.exe and QQScLauncher.exe in folder;
        the launcher writes launched.txt beside itself when started."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        for stale in ("launched.txt", "fake_qq.log"):
            (folder / stale).unlink(missing_ok=True)
        qq, launcher = folder / "QQ.exe", folder / "QQScLauncher.exe"
        shutil.copy2(self.tools / "fake_qq.exe", qq)
        shutil.copy2(self.tools / "fake_launcher.exe", launcher)
        return qq, launcher

    def start_client(self, qq) -> subprocess.Popen:
        """Starts the client stand-in; returns once it runs inside Wine (it
        has written "<pid>\\t<own path>" to fake_qq.log beside itself)."""
        log = Path(qq).parent / "fake_qq.log"
        proc = self.start_background([WINE, qq])
        assert wait_until(lambda: log.exists() or proc.poll() is not None, 15) \
            and proc.poll() is None, f"{qq} did not start"
        return proc

    # ---- windows --------------------------------------------------------

    def windows(self, cls: str = "#32770") -> List[Tuple[str, str]]:
        """(title, text) of each visible top-level window of class cls; the
        text is a message box's."""
        out = self._wine([self.tools / "boxpress.exe", "--list", cls]).raw_stdout
        return [tuple(line.replace("\\n", "\n").split("\t", 1))
                for line in out.decode("utf-8").splitlines()]

    def close_windows(self, cls: str):
        self._wine([self.tools / "boxpress.exe", "--close", cls])

    def _open_boxes_note(self) -> str:
        try:
            return "; open boxes: %r" % self.windows()
        except (AssertionError, OSError) as e:
            return f"; no list of open boxes: {e}"

    # ---- runs -----------------------------------------------------------

    def run(self, exe, stdin: bytes = b"", boxes: Sequence[Tuple[str, str]] = (),
            timeout: float = 60, args: Sequence[str] = (), box_timeout: float = 20) -> RunResult:
        """Runs exe to its end with stdin from stdin, answering each
        (caption, 'yes'|'no'|'ok'|'cancel') box in order."""
        def answer(proc, partial, deadline):
            return [self.answer_box(caption, reply, lambda: proc.poll() is None,
                                    min(box_timeout, deadline - time.monotonic()), partial)
                    for caption, reply in boxes]
        return self._run([WINE, exe, *args], stdin, timeout, during=answer,
                         note=self._open_boxes_note)

    def answer_box(self, caption: str, reply: str, running, timeout: float, partial) -> str:
        """Answers the next box titled caption while running() holds;
        returns its text. Raises RunFailed (with partial()) when it does not
        come in time or cannot be answered so."""
        what = f"the box {caption!r} ({reply})"
        out = self.logs / f"box{time.monotonic_ns()}"
        with open(out, "wb") as f:
            press = subprocess.Popen([WINE, self.tools / "boxpress.exe", caption, reply,
                                      str(int(max(timeout, 0) * 1000))], env=self.env,
                                     stdout=f, stderr=subprocess.DEVNULL,
                                     preexec_fn=die_with_parent)
        limit = time.monotonic() + timeout + 10  # boxpress polls on its own clock
        try:
            while press.poll() is None:
                if not running():
                    # A box answered just now lets the program end while
                    # boxpress is still finishing; anything else is a miss.
                    if not wait_until(lambda: press.poll() is not None, 1.5):
                        raise RunFailed(f"{what}: the program ended without showing it",
                                        partial())
                    break
                if time.monotonic() > limit:
                    raise RunFailed(f"{what}: boxpress hung", partial())
                time.sleep(0.05)
        finally:
            if press.poll() is None:
                press.kill()
            press.wait(timeout=10)
        text = out.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n").rstrip("\n")
        if press.returncode != 0:
            raise RunFailed(f"{what} {BOXPRESS_FAILURES.get(press.returncode, 'failed')}; "
                            f"its text: {text!r}" + self._open_boxes_note(), partial())
        return text

    def reset(self):
        """Also ends the console's tmux server, if a test started one."""
        if (self.root / "tmux.sock").exists():
            subprocess.run(["tmux", "-S", self.root / "tmux.sock", "kill-server"],
                           capture_output=True, timeout=20)
        super().reset()

    def console(self, exe, args: Sequence[str] = ()) -> "Console":
        """exe running on a real console, in a tmux pane of this session."""
        return Console(self, exe, args)


class Console:
    """A program on a real console: a 200 x 50 tmux pane, with a private
    server whose socket lies in the session folder, in the session's display
    and prefix. Keys are typed with send-keys, the screen read with
    capture-pane; the pane stays after the program ends."""

    def __init__(self, session: WineSession, exe, args=()):
        self._session = session
        conf = session.root / "tmux.conf"
        conf.write_text("set -g remain-on-exit on\nset -g history-limit 1000\n")
        self._tmux = ["tmux", "-u", "-S", str(session.root / "tmux.sock"), "-f", str(conf)]
        self._call("new-session", "-d", "-x", "200", "-y", "50", "-c", str(session.work),
                   "-s", "run", shlex.join(["exec", WINE, str(exe), *args]))

    def _call(self, *args) -> str:
        return subprocess.run(self._tmux + list(args), env=self._session.env, check=True,
                              capture_output=True, timeout=20).stdout.decode("utf-8", "replace")

    def screen(self) -> List[str]:
        """The lines shown so far, scrolled-off ones included, without the
        blank ones at the end."""
        lines = [line.rstrip() for line in self._call("capture-pane", "-p", "-J", "-S", "-",
                                                      "-t", "run").split("\n")
                 if not line.startswith("Pane is dead")]  # tmux's own line after the end
        while lines and not lines[-1]:
            lines.pop()
        return lines

    def result(self) -> RunResult:
        """The screen as a run's result; exit_code -1 while it runs."""
        return RunResult(self._exit_code(), self.screen(), b"", "")

    def running(self) -> bool:
        return self._exit_code() == -1

    def _exit_code(self) -> int:
        dead, _, status = self._call("display-message", "-p", "-t", "run",
                                     "#{pane_dead} #{pane_dead_status}").strip().partition(" ")
        return int(status) if dead == "1" else -1

    def wait_for(self, text: str, timeout: float = 20):
        """Waits until a line of the screen holds text."""
        def shown():
            return any(text in line for line in self.screen())
        wait_until(lambda: shown() or not self.running(), timeout)
        if not shown():
            raise RunFailed(f"the console shows no {text!r} within {timeout} s", self.result())

    def type(self, text: str):
        """Types text and Enter once the screen has settled: keys that come
        while the program still writes its prompt are lost."""
        before = None
        for _ in range(25):
            time.sleep(0.2)
            now = self.screen()
            if now == before:
                break
            before = now
        if text:
            self._call("send-keys", "-t", "run", "-l", text)
        self._call("send-keys", "-t", "run", "Enter")

    def answer_box(self, caption: str, reply: str, timeout: float = 20) -> str:
        return self._session.answer_box(caption, reply, self.running, timeout, self.result)

    def finish(self, timeout: float = 20) -> RunResult:
        """Waits for the program's end; returns the screen and exit code."""
        if not wait_until(lambda: not self.running(), timeout):
            raise RunFailed(f"the console program did not end within {timeout} s", self.result())
        return self.result()
