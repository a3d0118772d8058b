"""Self-test of the Wine harness with smoke_box.exe, a stand-in for the tool:
GBK output and input, boxes answered in order, the shell's .png handler,
the client stand-ins, and failures that must end a run instead of hanging.

    python3 tests/e2e/test_wine_smoke.py --tools DIR [--exe DIR/smoke_box.exe]
"""

import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import (BoxMismatch, BoxNotFound, RunTimeout, Tally,  # noqa: E402
                            live_processes_with_env, wait_until)
from wine_session import WineSession  # noqa: E402

SKIN = "皮肤一"
QUESTION = "现在使用的图片是否正确？\n" + SKIN


def ask_lines(w: WineSession, opened: str):
    image = w.skin_root_win + "\\" + SKIN + "\\main.png"
    return ["代码页: 936", "请输入皮肤名:", "收到: " + SKIN, "图片: " + image, "图片存在",
            "子进程输出", opened, "结束"]


def yes_opens_the_image_and_reports_both_boxes(w: WineSession, exe: Path):
    w.reset()
    w.make_skin(SKIN, b"\x89PNG\r\n\x1a\n")
    r = w.run(exe, (SKIN + "\n").encode("gbk"), boxes=[("提示", "yes"), ("提示", "ok")],
              args=["ask"])
    assert r.exit_code == 0, r
    assert r.lines == ask_lines(w, "已打开"), r.lines
    # The bytes themselves: GBK with CR LF, the interpreter's line in order.
    assert r.stdout_is_valid
    assert r.raw_stdout == "".join(line + "\r\n" for line in r.lines).encode("gbk")
    assert r.boxes == [QUESTION, "完成"], r.boxes
    image = w.skin_root_win + "\\" + SKIN + "\\main.png"
    assert w.recorded_opens(1) == [[image]], w.recorded_opens(0)
    # Without Managed=N each box takes about 2 s to close after its answer.
    code, out, _ = w.wine_call(["reg", "query", "HKCU\\Software\\Wine\\X11 Driver",
                                "/v", "Managed"])
    assert code == 0 and b"REG_SZ" in out and out.rstrip().endswith(b"N"), out
    print(f"  one run with two boxes: {r.elapsed:.2f} s")


def no_takes_the_other_branch(w: WineSession, exe: Path):
    w.reset()
    r = w.run(exe, (SKIN + "\n").encode("gbk"), boxes=[("提示", "no"), ("提示", "ok")],
              args=["ask"])
    assert r.exit_code == 7, r
    assert r.lines == ask_lines(w, "未打开")[:4] + ["图片不存在", "子进程输出", "未打开", "结束"]
    assert r.boxes == [QUESTION, "完成"]
    # The viewer starts asynchronously: give a wrong open the time to show.
    assert w.recorded_opens(1, timeout=1.5) == []


def a_missing_box_fails_fast_and_names_the_open_one(w: WineSession, exe: Path):
    w.reset()
    start = time.monotonic()
    try:
        w.run(exe, (SKIN + "\n").encode("gbk"), boxes=[("不存在", "yes")], args=["ask"],
              box_timeout=2)
    except BoxNotFound as e:
        message, partial = str(e), e.partial
    else:
        raise AssertionError("a box that never came was reported answered")
    assert time.monotonic() - start < 12, message
    assert repr("提示") + ": " + repr(QUESTION) in message, message
    assert "收到: " + SKIN in partial.lines
    # The program was killed, and its box with it.
    assert wait_until(lambda: w.windows() == [], 5), w.windows()


def a_box_without_the_button_is_a_mismatch(w: WineSession, exe: Path):
    w.reset()
    try:
        w.run(exe, (SKIN + "\n").encode("gbk"), boxes=[("提示", "ok")], args=["ask"])
    except BoxMismatch as e:
        assert repr(QUESTION) in str(e), str(e)
    else:
        raise AssertionError("OK was pressed on a Yes/No box")
    assert wait_until(lambda: w.windows() == [], 5), w.windows()


def a_crash_ends_the_run(w: WineSession, exe: Path):
    w.reset()
    start = time.monotonic()
    try:
        w.run(exe, boxes=[("提示", "yes")], args=["crash"], box_timeout=15)
    except BoxNotFound as e:
        assert "ended with" in str(e), str(e)
    else:
        raise AssertionError("a box was answered for a program that crashed")
    # Far less than box_timeout: the harness noticed the program was gone.
    assert time.monotonic() - start < 12
    r = w.run(exe, args=["crash"], timeout=20)
    # Wine does not always hand the crash on as a non-zero exit code, but
    # its crash report always lands in the output, and the run has ended.
    assert r.lines[0] == "崩溃前", r.lines[:3]
    assert r.exit_code != 0 or any(l.startswith("Unhandled exception") for l in r.lines), \
        (r.exit_code, r.lines[:3])


def a_hang_times_out(w: WineSession, exe: Path):
    w.reset()
    start = time.monotonic()
    try:
        w.run(exe, args=["hang"], timeout=3)
    except RunTimeout as e:
        assert e.partial.lines == ["等待中"], e.partial.lines
        assert "no message box is open" in str(e), str(e)
    else:
        raise AssertionError("a hanging program was reported finished")
    assert time.monotonic() - start < 12


def the_client_stand_ins_are_found_ended_and_launched(w: WineSession, exe: Path):
    w.reset()
    folder = w.drive_c / "Program Files" / "腾讯软件" / "QQ" / "Bin"
    qq, launcher = w.install_fake_client(folder)
    client = w.start_client(qq)
    qq_win = w.to_windows(qq)
    assert (folder / "fake_qq.log").read_text("utf-8").split("\t")[1].strip() == qq_win
    r = w.run(exe, args=["restart"])
    assert r.exit_code == 0, r
    assert r.lines == ["进程路径: " + qq_win, "已重启"], r.lines
    assert wait_until(lambda: client.poll() is not None, 10), "QQ.exe still runs"
    marker = folder / "launched.txt"
    assert wait_until(marker.exists, 10), "the launcher did not run"
    assert marker.read_bytes().decode("utf-8") == w.to_windows(launcher)
    # With no client left, the stand-in for the tool finds nothing.
    assert w.run(exe, args=["restart"]).lines == ["没有进程"]


def path_mapping_agrees_with_winepath(w: WineSession, exe: Path):
    for unix in (w.skin_root.parent, w.work, Path("/usr/share")):
        code, out, _ = w.wine_call(["winepath", "-w", str(unix)])
        assert code == 0
        assert w.to_windows(unix).lower() == out.decode("utf-8").strip().lower(), (unix, out)
    assert w.to_windows(w.appdata) == "C:\\users\\tester\\AppData\\Roaming"
    assert w.to_unix(w.skin_root_win) == w.skin_root
    assert w.to_unix("Z:\\usr\\share") == Path("/usr/share")


def a_call_after_an_idle_pause_is_fast(w: WineSession, exe: Path):
    # A prefix with a broken service manager answers the first call after a
    # few idle seconds only when the RpcSs start times out, 10 s later.
    time.sleep(3.5)
    start = time.monotonic()
    w.windows()
    # The broken prefix takes 10 s or more; anything well below is healthy.
    assert time.monotonic() - start < 8, "took %.1f s" % (time.monotonic() - start)


CASES = [yes_opens_the_image_and_reports_both_boxes, no_takes_the_other_branch,
         a_missing_box_fails_fast_and_names_the_open_one, a_box_without_the_button_is_a_mismatch,
         a_crash_ends_the_run, a_hang_times_out, the_client_stand_ins_are_found_ended_and_launched,
         path_mapping_agrees_with_winepath, a_call_after_an_idle_pause_is_fast]


def nothing_is_left_behind(w: WineSession):
    marker = b"WINEPREFIX=" + os.fsencode(w.prefix)
    assert w.leftovers_killed == [], "wineserver -k left these: %s" % w.leftovers_killed
    assert live_processes_with_env(marker) == []
    assert not w.root.exists()
    assert w._xvfb is None and w._server is None


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True, help="folder of the built test programs")
    parser.add_argument("--exe", help="the program to drive (default: TOOLS/smoke_box.exe)")
    args = parser.parse_args()
    exe = Path(args.exe or Path(args.tools) / "smoke_box.exe").resolve()
    tally = Tally()
    start = time.monotonic()
    session = None
    try:
        with WineSession(args.tools) as session:
            print("session start: " + ", ".join(f"{k} {v:.2f} s"
                                                for k, v in session.timings.items()), flush=True)
            for case in CASES:
                tally.run(case, session, exe)
    except Exception:
        tally.fail("session")
    if session is not None:
        tally.run(nothing_is_left_behind, session)
    print(f"total {time.monotonic() - start:.1f} s")
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
