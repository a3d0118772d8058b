"""Locating and confirming the skin with skinalpha.exe under Wine (code page
936, real message boxes): no skin root, an empty one, one skin, the newer of
two; then No, a typed folder with a blank, and Yes, with recorder.exe as
the prefix's .png viewer showing which image was opened last.

    python3 tests/e2e/test_wine_locate.py --exe build/windows/skinalpha.exe --tools DIR
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import wait_until  # noqa: E402
from locate_expect import (CONFIRM_TEXT, NO_FOLDER, assert_pauses_last, folder_prompt,  # noqa: E402
                           found_run, hint_run)
from sample_png import opaque_rgba_png  # noqa: E402
from wine_session import WineSession, wine_main  # noqa: E402


def check(result):
    assert result.stdout_is_valid, "the output is not GBK: %r" % result.raw_stdout
    assert result.exit_code == 0, result.stdout
    assert_pauses_last(result.lines)


def without_skin_folders_the_hint_is_shown(w: WineSession, exe: Path):
    w.reset()
    r = w.run(exe)
    check(r)
    assert r.lines[:-1] == hint_run(w.skin_root_win), r.lines

    w.reset()
    w.skin_root.mkdir(parents=True)
    r = w.run(exe)
    check(r)
    assert r.lines[:-1] == hint_run(w.skin_root_win), r.lines
    assert w.recorded_opens(count=0) == []


def one_skin_is_taken_and_shown(w: WineSession, exe: Path):
    w.reset()
    skin = w.make_skin("F2BBEC5EE65C628D89B2BA212B0DEF8B", opaque_rgba_png())
    image = w.to_windows(skin / "main.png")
    before = (skin / "main.png").read_bytes()
    r = w.run(exe, b"", boxes=[("提示", "no")])
    check(r)
    assert r.boxes == [CONFIRM_TEXT], r.boxes
    root = w.skin_root_win
    assert r.lines[:-1] == found_run(root, image) + folder_prompt(root) + [NO_FOLDER], r.lines
    assert (skin / "main.png").read_bytes() == before
    assert not (skin / "main.png.bak").exists()
    w.close_windows("ExplorerWClass")


def the_newer_of_two_then_a_typed_folder(w: WineSession, exe: Path):
    w.reset()
    now = time.time()
    older = w.make_skin("older", opaque_rgba_png(), mtime=now - 7200)
    newer = w.make_skin("newer", opaque_rgba_png(), mtime=now - 3600)
    typed = w.make_skin("my skin", opaque_rgba_png(), mtime=now - 9000)
    root = w.skin_root_win
    newer_image = w.to_windows(newer / "main.png")
    typed_image = w.to_windows(typed / "main.png")
    stdin = ('"%s"\r\n50\r\n' % w.to_windows(typed)).encode("gbk")
    r = w.run(exe, stdin, boxes=[("提示", "no"), ("提示", "yes")])
    check(r)
    assert r.boxes == [CONFIRM_TEXT, CONFIRM_TEXT], r.boxes
    assert r.lines[:8] == found_run(root, newer_image) + folder_prompt(root) + [
        "尝试打开图片" + typed_image], r.lines
    assert "转换完毕，重启QQ生效！按任意退出" in r.lines, r.lines
    assert (typed / "main.png.bak").exists()
    assert not (newer / "main.png.bak").exists() and not (older / "main.png.bak").exists()
    assert wait_until(lambda: len(w.recorded_opens(count=0)) >= 2, 10)
    # The viewers start detached, so their log lines may come in any order.
    opened = sorted(args[-1].lower() for args in w.recorded_opens(count=0))
    assert opened == sorted([newer_image.lower(), typed_image.lower()]), opened
    # The file manager was opened on the skin root: Explorer titles its
    # window with the folder's last component.
    assert wait_until(lambda: any(t == "customize" for t, _ in w.windows("ExplorerWClass")), 10), \
        w.windows("ExplorerWClass")
    w.close_windows("ExplorerWClass")


def main() -> int:
    return wine_main([without_skin_folders_the_hint_is_shown,
                      one_skin_is_taken_and_shown,
                      the_newer_of_two_then_a_typed_folder])


if __name__ == "__main__":
    sys.exit(main())
