"""The opacity transform in whole runs of the host program: the backup made
once, the lines in order, the pixels written, a write cut short by a file
size limit that leaves the image whole, and two runs on one skin at once."""

import os

from expect import (CONFIRM_TEXT, DONE, PROMPT, SKIN, assert_only_image_and_backup,
                    check_pixels, colours, read_png, sample_png, transform_lines, write_png)
from host_session import box_line

CONFIRM = box_line("提示", CONFIRM_TEXT)
PAUSE = "请按任意键继续. . ."


def transform_run(host, exe, folder, typed: bytes, **options):
    """A run on the skin in folder with typed input; returns the lines
    between the confirmation and the closing pause."""
    r = host.run(exe, typed, **options)
    assert r.exit_code == 0, r.stdout
    assert r.raw_stdout.endswith(b"\n") and r.lines[-1] == PAUSE, r.lines
    found = r.lines.index("已找到图片:" + str(folder / "main.png"))
    return r.lines[r.lines.index(CONFIRM, found) + 1:-1]


def test_three_channels_backed_up_once_then_rewritten_twice(host, exe):
    old = sample_png(31, 17, 3)
    folder = host.make_skin(SKIN, old)
    image, backup = folder / "main.png", folder / "main.png.bak"

    assert transform_run(host, exe, folder, b"y\n50\n\n") == transform_lines(True, True)
    assert backup.read_bytes() == old
    check_pixels(image, colours(old), 128)

    # Past 100 is taken as 100, and the run says so.
    assert transform_run(host, exe, folder, b"y\n150\n\n") == transform_lines(
        False, False, "不透明度超出0-100范围，按100处理")
    assert backup.read_bytes() == old
    check_pixels(image, colours(old), 255)
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"]

    backup.unlink()
    rewritten = image.read_bytes()
    assert transform_run(host, exe, folder, b"y\n0\n\n") == transform_lines(True, False)
    assert backup.read_bytes() == rewritten
    check_pixels(image, colours(old), 0)


def test_restore_brings_back_the_original_and_keeps_the_backup(host, exe):
    old = sample_png(31, 17, 3)
    folder = host.make_skin(SKIN, old)
    image = folder / "main.png"
    transform_run(host, exe, folder, b"y\n30\n\n")
    check_pixels(image, colours(old), 77)

    assert transform_run(host, exe, folder, b"y\n\n", args=["--restore"]) == [
        f"已用备份恢复原图，重启QQ生效: {image}"]
    assert_only_image_and_backup(host, folder, old)
    assert image.read_bytes() == old


def test_special_characters_in_the_folder_run_nothing(host, exe):
    old = sample_png()
    folder = host.make_skin("my skin & echo hacked > x %PATH% 100%", old)
    assert transform_run(host, exe, folder, b"y\n20\n\n") == transform_lines(True, False)
    assert_only_image_and_backup(host, folder, old)


def test_a_write_cut_short_leaves_the_image_whole(host, exe):
    # Noise: the new file needs far more than the limit.
    old = write_png(160, 120, os.urandom(160 * 120 * 4), 4)
    folder = host.make_skin(SKIN, old)
    (folder / "main.png.bak").write_bytes(old)
    lines = transform_run(host, exe, folder, b"y\n50\n\n", file_size_limit=20000)
    assert lines[:-2] == transform_lines(False, False)[:-1], lines
    assert lines[-2] == f"保存失败，图片保持原样: {folder / 'main.png'}", lines
    assert lines[-1].startswith("原因: "), lines
    assert DONE not in lines
    assert (folder / "main.png").read_bytes() == old
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"]


def test_end_of_input_at_the_prompt_changes_nothing(host, exe):
    old = sample_png()
    folder = host.make_skin(SKIN, old)
    lines = transform_run(host, exe, folder, b"y\n")
    assert lines == transform_lines(True, False)[:4] + [
        f"没有输入不透明度，透明度未改变: {folder / 'main.png'}"], lines
    assert (folder / "main.png").read_bytes() == old


def test_a_second_run_leaves_a_skin_in_use_alone(host, exe):
    old = sample_png(120, 90)
    folder = host.make_skin(SKIN, old)
    image, backup = folder / "main.png", folder / "main.png.bak"
    first = host.start(exe)
    first.type("y")
    first.wait_for(PROMPT)
    read_png(image.read_bytes())
    before = image.read_bytes(), backup.read_bytes()

    second = host.start(exe)
    for line in ("y", "80", ""):
        second.type(line)
    # The image must decode whenever a client looks, also while run 2 works.
    while second.result().exit_code == -1:
        read_png(image.read_bytes())
    ended = second.finish()
    assert ended.exit_code == 0, ended.stdout
    read_png(image.read_bytes())
    assert (image.read_bytes(), backup.read_bytes()) == before, \
        "a second run changed the skin while the first one was at its prompt:\n" + ended.stdout

    first.type("30")
    first.type("")
    ended = first.finish()
    assert ended.exit_code == 0 and DONE in ended.lines, ended.stdout
    check_pixels(image, colours(old), 77)
    assert backup.read_bytes() == old
