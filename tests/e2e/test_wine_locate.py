"""Locating and confirming the skin with skinalpha.exe under Wine (code page
936, real message boxes): no skin root or an empty one, one skin, the newer
of two; then No, a typed folder with a blank, and Yes, with recorder.exe as
the prefix's .png viewer recording what was opened."""

import time

from expect import (CONFIRM_TEXT, DONE, NO_FOLDER, SKIN, assert_finished, folder_prompt,
                    found_run, hint_run, sample_png)
from session import wait_until


def test_without_skin_folders_the_hint_is_shown(wine, exe):
    root = wine.shown(wine.skin_root)
    r = wine.run(exe)
    assert_finished(r)
    assert r.lines[:-1] == hint_run(root), r.lines

    wine.skin_root.mkdir(parents=True)
    r = wine.run(exe)
    assert_finished(r)
    assert r.lines[:-1] == hint_run(root), r.lines
    assert wine.recorded_opens(timeout=0) == []


def test_one_skin_is_taken_and_shown(wine, exe):
    skin = wine.make_skin(SKIN, sample_png())
    image, root = wine.shown(skin / "main.png"), wine.shown(wine.skin_root)
    before = (skin / "main.png").read_bytes()
    r = wine.run(exe, boxes=[("提示", "no")])
    assert_finished(r)
    assert r.boxes == [CONFIRM_TEXT], r.boxes
    assert r.lines[:-1] == found_run(root, image) + folder_prompt(root) + [NO_FOLDER], r.lines
    assert (skin / "main.png").read_bytes() == before
    assert not (skin / "main.png.bak").exists()
    wine.close_windows("ExplorerWClass")


def test_the_newer_of_two_then_a_typed_folder(wine, exe):
    now = time.time()
    older = wine.make_skin("older", sample_png(), mtime=now - 7200)
    newer = wine.make_skin("newer", sample_png(), mtime=now - 3600)
    typed = wine.make_skin("my skin", sample_png(), mtime=now - 9000)
    root = wine.shown(wine.skin_root)
    newer_image, typed_image = wine.shown(newer / "main.png"), wine.shown(typed / "main.png")
    stdin = f'"{wine.shown(typed)}"\r\n50\r\n'.encode("gbk")
    r = wine.run(exe, stdin, boxes=[("提示", "no"), ("提示", "yes")])
    assert_finished(r)
    assert r.boxes == [CONFIRM_TEXT, CONFIRM_TEXT], r.boxes
    assert r.lines[:8] == found_run(root, newer_image) + folder_prompt(root) + [
        "尝试打开图片" + typed_image], r.lines
    assert DONE in r.lines, r.lines
    assert (typed / "main.png.bak").exists()
    assert not (newer / "main.png.bak").exists() and not (older / "main.png.bak").exists()
    # The viewers start detached, so their log lines may come in any order.
    opened = sorted(args[-1].lower() for args in wine.recorded_opens(count=2))
    assert opened == sorted([newer_image.lower(), typed_image.lower()]), opened
    # The file manager was opened on the skin root: Explorer titles its
    # window with the folder's last component.
    assert wait_until(lambda: any(t == "customize" for t, _ in wine.windows("ExplorerWClass")),
                      10), wine.windows("ExplorerWClass")
    wine.close_windows("ExplorerWClass")
