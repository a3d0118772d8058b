"""A private Wine prefix, display and wineserver for end-to-end runs of the
Windows build, and the way to run a program in it and answer its message
boxes (standard library only).

    with WineSession(tools_dir) as w:
        w.reset()
        w.make_skin("皮肤", png_bytes)
        r = w.run(exe, b"50\n", boxes=[("提示", "yes")])

One session makes one prefix (about 10 s); scenarios reuse it, each after
reset(). Never share one session between two runs at once.
"""

import os
import select
import shutil
import subprocess
import tempfile
import time
from pathlib import Path, PureWindowsPath
from typing import List, Optional, Sequence, Tuple

from harness_common import (Session, script_main, BoxMismatch, BoxNotFound, HarnessError, RunResult, RunTimeout,
                            TermAsExit, Watchdog, die_with_parent, kill_group,
                            live_processes_with_env, make_result, wait_until)

TOOL_PROGRAMS = ("boxpress.exe", "recorder.exe", "fake_qq.exe", "fake_launcher.exe")
PNG_PROGID = "skinalpha.testviewer"
# What "pause" prints under code page 936.
PAUSE_GBK = "请按任意键继续".encode("gbk")
# Variables of the calling shell that would change how Wine behaves.
DROPPED_ENV = ("LANG", "LANGUAGE", "TZ", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
               "WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINESERVER",
               "WINELOADER", "LOCPATH", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME")


class WineSession(Session):
    """Context manager owning a temp folder with a fresh prefix, a scratch
    HOME, a generated zh_CN.UTF-8 locale, an Xvfb and a persistent
    wineserver. Closing always ends every Wine process, the server and the
    display, and removes the folder."""

    def __init__(self, tools_dir, workdir=None, user: str = "tester", winedebug: str = "-all",
                 keep: bool = False):
        self.tools_dir = Path(tools_dir).resolve()
        missing = [p for p in TOOL_PROGRAMS if not (self.tools_dir / p).is_file()]
        if missing:
            raise HarnessError(f"{self.tools_dir} lacks {', '.join(missing)}: build e2e_tools")
        self._workdir = workdir
        self.user = user
        self.winedebug = winedebug
        self.keep = keep  # leave the temp folder for a post-mortem
        self.timings = {}  # step name -> seconds
        self.leftovers_killed: List[int] = []  # pids close() had to SIGKILL
        self.root: Optional[Path] = None
        self._xvfb = None
        self._server = None
        self._background = []
        self._runs = 0
        self._term = TermAsExit()
        self._watchdog = None
        self.wine = shutil.which("wine") or "/usr/lib/wine/wine64"
        self.wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"

    # ---- lifetime -------------------------------------------------------

    def start(self):
        self._term.install()
        t0 = time.monotonic()
        self.root = Path(tempfile.mkdtemp(prefix="skinalpha-wine-", dir=self._workdir))
        self.home = self.root / "home"
        self.prefix = self.root / "prefix"
        self.locale_dir = self.root / "locale"
        self.work = self.root / "work"  # default working directory of runs
        self._logs = self.root / "logs"
        for d in (self.home, self.prefix, self.locale_dir, self.work, self._logs):
            d.mkdir()
        self._watchdog = Watchdog(b"WINEPREFIX=" + os.fsencode(self.prefix),
                                  ["@" + str(self.prefix / "wineserver"), self.root])

        # Generating the locale takes about 2 s; it overlaps prefix creation,
        # which does not need it (Wine picks the code page at each start).
        with open(self._logs / "localedef.log", "wb") as log:
            localedef = subprocess.Popen(
                ["localedef", "-i", "zh_CN", "-f", "UTF-8", str(self.locale_dir / "zh_CN.UTF-8")],
                stdout=subprocess.DEVNULL, stderr=log)
        try:
            self._start_xvfb()
            self._start_wineserver()
            self._create_prefix()
            localedef.wait(timeout=60)
        finally:
            if localedef.poll() is None:
                localedef.kill()
                localedef.wait()
        if not (self.locale_dir / "zh_CN.UTF-8" / "LC_CTYPE").is_file():
            raise HarnessError("localedef made no zh_CN.UTF-8 locale: "
                               + (self._logs / "localedef.log").read_text(errors="replace"))

        self.drive_c = self.prefix / "drive_c"
        self.appdata = self.drive_c / "users" / self.user / "AppData" / "Roaming"
        if not self.appdata.is_dir():
            raise HarnessError(f"the new prefix has no {self.appdata}")
        self.tools = self.drive_c / "testtools"
        self.tools.mkdir()
        for name in os.listdir(self.tools_dir):
            if name.lower().endswith(".exe"):
                shutil.copy2(self.tools_dir / name, self.tools / name)
        self._apply_registry()
        self._check_code_page()
        self.timings["session start"] = time.monotonic() - t0

    def close(self):
        """Ends everything the session started; safe to call twice."""
        for proc in self._background:
            kill_group(proc, wait=2)
        self._background = []
        if self._server is not None:
            # -k ends every process of the prefix (unanswered boxes, the
            # client stand-in, Explorer windows) and then the server.
            for args, limit in ((["-k"], 10), (["-w"], 20)):
                try:
                    subprocess.run([self.wineserver, *args], env=self.env, timeout=limit,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                except subprocess.TimeoutExpired:
                    pass
            try:
                self._server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
            self._server = None
        if self.root is not None:
            marker = b"WINEPREFIX=" + os.fsencode(self.prefix)
            for pid in live_processes_with_env(marker):
                try:
                    os.kill(pid, 9)
                    self.leftovers_killed.append(pid)
                except ProcessLookupError:
                    pass
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
            self._xvfb = None
        if self.root is not None and not self.keep:
            server_dir = self._server_dir()
            if server_dir is not None and server_dir.name.startswith("wine-"):
                shutil.rmtree(server_dir, ignore_errors=True)
            shutil.rmtree(self.root, ignore_errors=True)
        if self._watchdog is not None:
            self._watchdog.disarm()
            self._watchdog = None
        self._term.restore()

    def _start_xvfb(self):
        # -displayfd lets the server take the first free display itself, so
        # two sessions never race for one.
        read_end, write_end = os.pipe()
        try:
            with open(self._logs / "xvfb.log", "wb") as log:
                self._xvfb = subprocess.Popen(
                    ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                     "1024x768x24"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log,
                    preexec_fn=die_with_parent)
            os.close(write_end)
            write_end = -1
            data = b""
            deadline = time.monotonic() + 15
            while not data.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise HarnessError("Xvfb did not report a display within 15 s")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise HarnessError("Xvfb exited: "
                                       + (self._logs / "xvfb.log").read_text(errors="replace"))
                data += chunk
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        self.display = ":" + data.decode().strip()
        self.env = self._make_env(lang="zh_CN.UTF-8")

    def _make_env(self, lang: str) -> dict:
        env = {k: v for k, v in os.environ.items()
               if k not in DROPPED_ENV and not k.startswith("LC_")}
        env.update({
            "HOME": str(self.home), "USER": self.user, "LOGNAME": self.user,
            "WINEPREFIX": str(self.prefix), "WINEDEBUG": self.winedebug,
            "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d",
            "DISPLAY": self.display, "LANG": lang, "LC_ALL": lang,
            "LOCPATH": str(self.locale_dir),
        })
        return env

    def _boot_env(self) -> dict:
        return self._make_env(lang="C.UTF-8")

    def _start_wineserver(self):
        # Run in the foreground as our child: it dies with us even when we
        # are killed, and with it every Wine process of the prefix.
        with open(self._logs / "wineserver.log", "wb") as log:
            self._server = subprocess.Popen(
                [self.wineserver, "-f", "-p"], env=self._boot_env(), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=log, preexec_fn=die_with_parent)
        # Wine starts a second server if a client comes before the socket is
        # there. Debian's build keeps it in a mkdtemp folder that it names in
        # $WINEPREFIX/wineserver; upstream uses /tmp/.wine-UID.
        st = os.stat(self.prefix)
        leaf = f"server-{st.st_dev:x}-{st.st_ino:x}"

        def socket_ready():
            folder = self._server_dir()
            return folder is not None and (folder / leaf / "socket").exists()
        if not wait_until(lambda: socket_ready() or self._server.poll() is not None, 10):
            raise HarnessError("wineserver made no socket within 10 s")
        if self._server.poll() is not None:
            raise HarnessError("wineserver exited: "
                               + (self._logs / "wineserver.log").read_text(errors="replace"))

    def _create_prefix(self):
        # The first Wine program in an empty prefix runs wineboot --init by
        # itself. An explicit `wineboot -i` on top of that starts a second
        # one, and with a persistent server the prefix then keeps two
        # services.exe and no RpcSs: every later program that touches COM
        # (ShellExecute does) stalls 10 s. So a no-op program does the init.
        t = time.monotonic()
        self._check(["cmd", "/c", "exit"], "prefix creation", timeout=120, env=self._boot_env())
        marker = b"WINEPREFIX=" + os.fsencode(self.prefix)

        def booting():
            for pid in live_processes_with_env(marker):
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as f:
                        if b"wineboot" in f.read().lower():
                            return True
                except OSError:
                    pass
            return False
        if not wait_until(lambda: not booting(), 60, interval=0.1):
            raise HarnessError("wineboot still runs 60 s after the prefix was created")
        self.timings["prefix creation"] = time.monotonic() - t

    def _server_dir(self) -> Optional[Path]:
        named = self.prefix / "wineserver"
        if named.is_file():
            name = named.read_text().strip()
            if name.startswith("wine-") and "/" not in name:
                return Path(os.environ.get("TMPDIR") or "/tmp") / name
        upstream = Path(f"/tmp/.wine-{os.getuid()}")
        return upstream if upstream.is_dir() else None

    def _apply_registry(self):
        tools_win = self.to_windows(self.tools)
        reg = "\r\n".join([
            "REGEDIT4", "",
            # Without a window manager each box takes ~2 s to close otherwise.
            r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]", '"Managed"="N"', "",
            # A crash must end the program, not open a blocking dialog.
            r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000', "",
            # Wine 8 reads file associations from HKCR only.
            r"[HKEY_CLASSES_ROOT\.png]", f'@="{PNG_PROGID}"', "",
            f"[HKEY_CLASSES_ROOT\\{PNG_PROGID}\\shell\\open\\command]",
            "@=" + '"' + _reg_escape(f'"{tools_win}\\recorder.exe" "%1"') + '"', "", ""])
        reg_file = self._logs / "settings.reg"
        reg_file.write_bytes(reg.encode("ascii"))
        self._check(["regedit", "/s", self.to_windows(reg_file)], "regedit", timeout=30)

    def _check_code_page(self):
        out = self._check(["cmd", "/c", "pause"], "cmd /c pause", timeout=30)
        if PAUSE_GBK not in out:
            raise HarnessError(
                "the ANSI code page is not 936 (cmd /c pause printed %r); LANG=zh_CN.UTF-8 "
                "needs the locale generated under LOCPATH=%s" % (out, self.locale_dir))

    def _check(self, args, what, timeout, env=None):
        t = time.monotonic()
        code, out, err = self._call([self.wine, *args], timeout, env)
        self.timings[what] = time.monotonic() - t
        if code is None:
            raise HarnessError(f"{what} did not finish within {timeout} s")
        if code != 0:
            raise HarnessError(f"{what} failed with {code}: "
                               + err.decode("utf-8", "replace")[-2000:])
        return out

    def wine_call(self, args: Sequence[str], timeout: float = 30):
        """Runs `wine ARGS...` in the session; returns (exit code, or None
        after a timeout, stdout bytes, stderr bytes)."""
        return self._call([self.wine, *args], timeout)

    def _call(self, argv, timeout, env=None):
        """Runs argv to its end; returns (exit code or None on timeout,
        stdout, stderr). Output goes through files, never pipes: Wine
        programs may start helpers (services, explorer) that inherit the
        handles and would keep a pipe open for the session's lifetime."""
        self._calls = getattr(self, "_calls", 0) + 1
        out_path = self._logs / f"call{self._calls}.out"
        err_path = self._logs / f"call{self._calls}.err"
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, start_new_session=True)
            try:
                code = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                code = None
            finally:
                kill_group(proc)
        return code, out_path.read_bytes(), err_path.read_bytes()

    # ---- paths ----------------------------------------------------------

    @property
    def appdata_win(self) -> str:
        return self.to_windows(self.appdata)

    @property
    def skin_root(self) -> Path:
        """Unix path of %APPDATA%\\Tencent\\QQ\\Skins\\customize."""
        return self.appdata / "Tencent" / "QQ" / "Skins" / "customize"

    @property
    def skin_root_win(self) -> str:
        return self.appdata_win + r"\Tencent\QQ\Skins\customize"

    @property
    def recorder_log(self) -> Path:
        return self.tools / "recorder.log"

    def _drives(self):
        """(letter, resolved Unix root) of each dosdevices drive, the deepest
        root first so that C: wins over Z: for files in the prefix."""
        drives = []
        dosdevices = self.prefix / "dosdevices"
        for entry in os.listdir(dosdevices):
            if len(entry) == 2 and entry[1] == ":":
                drives.append((entry[0].upper(), os.path.realpath(dosdevices / entry)))
        return sorted(drives, key=lambda d: -len(d[1]))

    def to_windows(self, path) -> str:
        """Windows form of a Unix path, through the prefix's drive links."""
        real = os.path.realpath(path)
        for letter, root in self._drives():
            if real == root or real.startswith(root.rstrip("/") + "/"):
                rest = real[len(root):].strip("/")
                return f"{letter}:\\" + rest.replace("/", "\\")
        raise HarnessError(f"{path} lies on no drive of the prefix")

    def to_unix(self, win_path: str) -> Path:
        """Unix form of an absolute Windows path (drive letter form)."""
        p = PureWindowsPath(win_path)
        letter = p.drive[:1].lower()
        link = self.prefix / "dosdevices" / f"{letter}:"
        if not p.drive or not os.path.exists(link):
            raise HarnessError(f"{win_path} is on no drive of the prefix")
        return Path(os.path.realpath(link)).joinpath(*p.parts[1:])

    # ---- scenarios ------------------------------------------------------

    def reset(self):
        """Fresh scenario: background programs ended, no skin folders (the
        whole Tencent folder removed), no recorder log, empty work folder."""
        for proc in self._background:
            kill_group(proc, wait=2)
        self._background = []
        shutil.rmtree(self.appdata / "Tencent", ignore_errors=True)
        if self.recorder_log.exists():
            self.recorder_log.unlink()
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir()

    def make_skin(self, name: str, png_bytes: Optional[bytes] = None,
                  mtime: Optional[float] = None) -> Path:
        """Creates skin_root/name (parents included), with main.png holding
        png_bytes unless None; mtime, when given, is set on the folder last.
        Returns the folder's Unix path."""
        folder = self.skin_root / name
        folder.mkdir(parents=True, exist_ok=True)
        if png_bytes is not None:
            (folder / "main.png").write_bytes(png_bytes)
        if mtime is not None:
            os.utime(folder, (mtime, mtime))
        return folder

    def recorded_opens(self, count: int = 1, timeout: float = 10) -> List[List[str]]:
        """Lines of recorder.log as argument lists, once it has at least
        count lines (the shell starts the viewer without waiting), or what is
        there when timeout runs out; count=0 reads at once."""
        def lines():
            if not self.recorder_log.exists():
                return []
            text = self.recorder_log.read_bytes().decode("utf-8", "replace")
            return [line.split("\t") for line in text.split("\n") if line]
        wait_until(lambda: len(lines()) >= count, timeout if count else 0)
        return lines()

    def install_fake_client(self, folder) -> Tuple[Path, Path]:
        """Copies the client stand-ins into the Unix folder as QQ.exe and
        QQScLauncher.exe; returns their paths. The launcher writes
        launched.txt beside itself when started."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        qq, launcher = folder / "QQ.exe", folder / "QQScLauncher.exe"
        shutil.copy2(self.tools / "fake_qq.exe", qq)
        shutil.copy2(self.tools / "fake_launcher.exe", launcher)
        return qq, launcher

    def start_client(self, qq_exe, timeout: float = 15) -> subprocess.Popen:
        """Starts the client stand-in and returns once it runs inside Wine
        (it has written its line to fake_qq.log beside itself). The process
        is ended by reset() or close() if the test leaves it running."""
        log = Path(qq_exe).parent / "fake_qq.log"
        before = log.read_bytes().count(b"\n") if log.exists() else 0
        proc = self.start_background(qq_exe)
        if not wait_until(lambda: log.exists() and log.read_bytes().count(b"\n") > before
                          or proc.poll() is not None, timeout):
            raise HarnessError(f"{qq_exe} did not start within {timeout} s")
        if proc.poll() is not None:
            raise HarnessError(f"{qq_exe} exited at once with {proc.returncode}")
        return proc

    def start_background(self, exe, args: Sequence[str] = ()) -> subprocess.Popen:
        """Starts a program without waiting for it; output is discarded."""
        proc = subprocess.Popen([self.wine, str(exe), *args], env=self.env, cwd=self.work,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        self._background.append(proc)
        return proc

    def windows(self, cls: str = "#32770") -> List[Tuple[str, str]]:
        """(title, text) of each visible top-level window of class cls; the
        text is a message box's text, with line breaks as LF."""
        out = self._tool(["--list", cls], timeout=20)
        rows = []
        for line in out.decode("utf-8", "replace").splitlines():
            title, _, text = line.partition("\t")
            rows.append((title, text.replace("\\n", "\n")))
        return rows

    def close_windows(self, cls: str) -> int:
        """Closes every visible top-level window of class cls (e.g.
        "ExplorerWClass"); returns how many there were."""
        return int(self._tool(["--close", cls], timeout=20).strip() or 0)

    def _tool(self, args, timeout) -> bytes:
        code, out, _ = self._call([self.wine, str(self.tools / "boxpress.exe"), *args], timeout)
        if code != 0:
            raise HarnessError(f"boxpress {' '.join(args)} "
                               + ("hung" if code is None else f"failed with {code}"))
        return out

    # ---- runs -----------------------------------------------------------

    def run(self, exe, stdin_bytes: bytes = b"", boxes: Sequence[Tuple[str, str]] = (),
            timeout: float = 60, args: Sequence[str] = (), cwd=None,
            box_timeout: float = 20) -> RunResult:
        """Runs exe (a Unix path, or a Windows path) to its end with stdin
        from stdin_bytes and stdout/stderr captured in files, answering each
        (caption, 'yes'|'no'|'ok'|'cancel') box in order. Raises BoxNotFound,
        BoxMismatch or RunTimeout (the program is killed first) with the
        output so far, instead of hanging."""
        self._runs += 1
        stem = self._logs / f"run{self._runs}"
        stem.with_suffix(".in").write_bytes(stdin_bytes)
        start = time.monotonic()
        deadline = start + timeout
        texts: List[str] = []
        with open(stem.with_suffix(".in"), "rb") as fin, \
                open(stem.with_suffix(".out"), "wb") as fout, \
                open(stem.with_suffix(".err"), "wb") as ferr:
            # Files rather than pipes: a viewer or Explorer the program
            # starts may inherit the handles and outlive it.
            proc = subprocess.Popen([self.wine, str(exe), *args], env=self.env,
                                    cwd=str(cwd or self.work), stdin=fin, stdout=fout,
                                    stderr=ferr, start_new_session=True)

            def partial():
                code = proc.poll()
                return make_result(-1 if code is None else code,
                                   stem.with_suffix(".out").read_bytes(), "gbk",
                                   stem.with_suffix(".err").read_bytes(), texts,
                                   time.monotonic() - start)
            try:
                for index, (caption, answer) in enumerate(boxes):
                    texts.append(self._answer_box(proc, index, caption, answer, deadline,
                                                  box_timeout, partial))
                try:
                    proc.wait(timeout=max(deadline - time.monotonic(), 0.1))
                except subprocess.TimeoutExpired:
                    raise RunTimeout(f"{exe} did not end within {timeout} s"
                                     + self._open_boxes_note(), partial())
            finally:
                kill_group(proc)
        return make_result(proc.returncode, stem.with_suffix(".out").read_bytes(), "gbk",
                           stem.with_suffix(".err").read_bytes(), texts,
                           time.monotonic() - start)

    def _answer_box(self, proc, index, caption, answer, deadline, box_timeout, partial) -> str:
        what = f"box {index + 1} ({caption!r}, {answer})"
        wait = min(box_timeout, deadline - time.monotonic())
        if wait <= 0:
            raise RunTimeout(f"no time left for {what}", partial())
        out_path = self._logs / f"run{self._runs}.box{index + 1}"
        with open(out_path, "wb") as out:
            press = subprocess.Popen(
                [self.wine, str(self.tools / "boxpress.exe"), caption, answer,
                 str(int(wait * 1000))],
                env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                stderr=subprocess.DEVNULL, start_new_session=True)
            limit = time.monotonic() + wait + 10  # boxpress polls on its own clock
            try:
                while press.poll() is None:
                    if proc.poll() is not None:
                        # A box answered just now lets the program end while
                        # boxpress is still finishing; anything else is a miss.
                        try:
                            press.wait(timeout=1.5)
                        except subprocess.TimeoutExpired:
                            raise BoxNotFound(f"{what}: the program ended with "
                                              f"{proc.returncode} before showing it", partial())
                        break
                    if time.monotonic() > limit:
                        raise BoxNotFound(f"{what}: boxpress hung", partial())
                    time.sleep(0.02)
            finally:
                kill_group(press)
        text = out_path.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n")
        text = text[:-1] if text.endswith("\n") else text
        if press.returncode == 0:
            return text
        if press.returncode == 2:
            raise BoxNotFound(f"{what} did not appear within {wait:.1f} s"
                              + self._open_boxes_note(), partial())
        if press.returncode == 3:
            raise BoxMismatch(f"{what} has no such button; its text: {text!r}", partial())
        if press.returncode == 4:
            raise BoxMismatch(f"{what} stayed open after the answer; its text: {text!r}",
                              partial())
        raise HarnessError(f"boxpress failed with {press.returncode}", partial())

    def _open_boxes_note(self) -> str:
        try:
            boxes = self.windows("#32770")
        except HarnessError:
            return ""
        if not boxes:
            return "; no message box is open"
        return "; open boxes: " + "; ".join(f"{t!r}: {x!r}" for t, x in boxes)


def _reg_escape(value: str) -> str:
    return value.replace("\\", "\\\\").replace('"', '\\"')


def wine_main(cases) -> int:
    """main() of a script whose cases each take (WineSession, exe)."""
    return script_main(cases, WineSession, with_tools=True)
