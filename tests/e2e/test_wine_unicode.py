"""Every character of a path and of the console's text, whatever the ANSI
code page: a profile folder named in Chinese under code page 1252, and a
real console (a tmux pane) under 936 and 1252 on which a Chinese folder
path is typed."""

import time

import pytest

from expect import (CONFIRM_TEXT, PROMPT, SKIN, TYPE_FOLDER, assert_finished,
                    check_pixels, colours, folder_prompt, found_run, sample_png, transform_lines)

PROFILE = "张三"
# Code page 1252 goes with the Chinese profile, which it cannot spell.
KINDS = {"cp936": (936, None), "cp1252": (1252, PROFILE)}


@pytest.fixture(params=KINDS)
def any_wine(request, open_wine):
    return open_wine(*KINDS[request.param])


def test_a_chinese_profile_under_code_page_1252(open_wine, exe):
    wine = open_wine(1252, PROFILE)
    old = sample_png(16, 8, 3)
    folder = wine.make_skin(SKIN, old)
    root, image = wine.shown(wine.skin_root), wine.shown(folder / "main.png")
    r = wine.run(exe, b"50\n", boxes=[("提示", "yes")])
    # A pipe still gets GBK, which spells the profile.
    assert_finished(r, wine.pause_text)
    assert r.boxes == [CONFIRM_TEXT], r.boxes
    assert r.lines[:-1] == found_run(root, image) + transform_lines(True, True), r.lines
    assert (folder / "main.png.bak").read_bytes() == old
    check_pixels(folder / "main.png", colours(old), 128)
    assert [args[-1].lower() for args in wine.recorded_opens()] == [image.lower()]


def test_a_real_console_shows_and_reads_chinese(any_wine, exe):
    wine = any_wine
    now = time.time()
    auto = wine.make_skin(SKIN, sample_png(), mtime=now)
    old = sample_png(seed=2)
    typed = wine.make_skin("我的皮肤", old, mtime=now - 3600)
    root = wine.shown(wine.skin_root)
    console = wine.console(exe)
    assert console.answer_box("提示", "no") == CONFIRM_TEXT
    console.wait_for(TYPE_FOLDER)
    console.type(wine.shown(typed))
    assert console.answer_box("提示", "yes") == CONFIRM_TEXT
    console.wait_for(PROMPT)
    console.type("50")
    console.wait_for(wine.pause_text)
    console.type("")
    r = console.finish()
    assert r.exit_code == 0, r.stdout
    # The screen holds the typed lines too, each where it was typed.
    steps = transform_lines(True, False)
    assert r.lines[:-1] == (found_run(root, wine.shown(auto / "main.png")) + folder_prompt(root)
                            + [wine.shown(typed), "尝试打开图片" + wine.shown(typed / "main.png")]
                            + steps[:4] + ["50"] + steps[4:]), r.lines
    assert r.lines[-1].startswith(wine.pause_text), r.lines
    assert (typed / "main.png.bak").read_bytes() == old
    check_pixels(typed / "main.png", colours(old), 128)
    assert not (auto / "main.png.bak").exists()
