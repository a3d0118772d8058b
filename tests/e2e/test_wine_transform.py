"""The opacity transform in whole runs of the Windows program under Wine: a
three-channel skin with no backup yet, the opacity typed on standard input;
then the backup holds the old file, the image the old colours with the new
alpha, and the GBK console lines come in their order. The way back: the
packaged restore script, double-clicked."""

import os
import shutil

from expect import (CONFIRM_TEXT, NOT_A_NUMBER, SKIN, assert_finished,
                    assert_only_image_and_backup, check_pixels, colours, sample_png,
                    transform_lines, transform_part)


def transform_run(wine, exe, folder, typed: bytes):
    """One run that confirms the image in folder and types `typed`; returns
    the transform's console lines."""
    r = wine.run(exe, typed, boxes=[("提示", "yes")])
    assert_finished(r)
    assert r.boxes == [CONFIRM_TEXT], r.boxes
    assert "已找到图片:" + wine.shown(folder / "main.png") in r.lines, r.lines
    return transform_part(r.lines)


def test_three_channel_skin_without_backup(wine, exe):
    old = sample_png(45, 23, 3, seed=4)
    folder = wine.make_skin(SKIN, old)

    assert transform_run(wine, exe, folder, b"50\n") == transform_lines(True, True)
    assert (folder / "main.png.bak").read_bytes() == old
    check_pixels(folder / "main.png", colours(old), 128)
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"]

    # The next run keeps the first backup and skips the widening; a blank
    # line before the number and blanks and a CR around it are passed over.
    assert transform_run(wine, exe, folder, b"\n 30 \r\n") == transform_lines(False, False)
    assert (folder / "main.png.bak").read_bytes() == old
    check_pixels(folder / "main.png", colours(old), 77)


def test_blanks_ampersands_and_percent_signs_in_the_folder(wine, exe):
    old = sample_png()
    folder = wine.make_skin("my skin & echo hacked & %USERNAME% 100%", old)
    assert transform_run(wine, exe, folder, b"abc\n") == transform_lines(True, False,
                                                                         NOT_A_NUMBER)
    assert_only_image_and_backup(wine, folder, old)
    check_pixels(folder / "main.png", colours(old), 128)


def test_restore_script_double_clicked_in_a_folder_with_a_blank_and_ampersand(wine, exe):
    old = sample_png(45, 23, 3, seed=4)
    skin = wine.make_skin(SKIN, sample_png(45, 23, 4, seed=5))
    (skin / "main.png.bak").write_bytes(old)
    unpacked = wine.drive_c / "folder with blank & x"
    unpacked.mkdir(exist_ok=True)
    shutil.copy2(exe, unpacked / "skinalpha.exe")
    shutil.copy2(exe.parent / "恢复原图.cmd", unpacked / "恢复原图.cmd")

    r = wine.run(wine.tools / "double_click.exe", boxes=[("提示", "yes")],
                 args=[wine.to_windows(unpacked / "恢复原图.cmd")])
    assert_finished(r)
    assert r.lines[-2] == "已用备份恢复原图，重启QQ生效: " + wine.shown(skin / "main.png"), r.lines
    assert_only_image_and_backup(wine, skin, old)
    assert (skin / "main.png").read_bytes() == old
