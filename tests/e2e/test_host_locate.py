"""Locating and confirming the skin with the host build: no skin root or an
empty one, the newer of two skins, then a No, a typed folder with a blank in
quotes, and a Yes; xdg-open records what was opened."""

import time

from expect import (CONFIRM_TEXT, DONE, NO_ANSWER, NO_FOLDER, assert_pauses_last, folder_prompt, found_run,
                    hint_run, sample_png)
from host_session import box_line

CONFIRM = box_line("提示", CONFIRM_TEXT)


def test_without_skin_folders_the_hint_is_shown(host, exe):
    root = str(host.skin_root)
    r = host.run(exe)
    assert r.exit_code == 0, r.stdout
    assert r.lines[:-1] == hint_run(root), r.lines
    assert_pauses_last(r.lines)

    host.skin_root.mkdir(parents=True)
    (host.skin_root / "main.png").write_bytes(b"a file, not a skin folder")
    r = host.run(exe)
    assert r.lines[:-1] == hint_run(root), r.lines
    assert host.recorded_opens(timeout=0.5) == []


def test_the_newer_of_two_skins_is_offered(host, exe):
    now = time.time()
    host.make_skin("older", sample_png(), mtime=now - 7200)
    newer = host.make_skin("newer", sample_png(), mtime=now - 3600)
    image, root = str(newer / "main.png"), str(host.skin_root)
    before = (newer / "main.png").read_bytes()
    # End of input is no answer: nothing more is opened or asked.
    r = host.run(exe)
    assert r.exit_code == 0, r.stdout
    assert r.lines[:-1] == found_run(root, image) + [CONFIRM, NO_ANSWER], r.lines
    assert_pauses_last(r.lines)
    assert host.recorded_opens(count=1) == [[image]]
    # A No, then end of input, leaves the folder prompt without a folder.
    r = host.run(exe, b"n\n")
    assert r.lines[:-1] == found_run(root, image) + [CONFIRM] + folder_prompt(root) + [
        NO_FOLDER], r.lines
    # An answer longer than any answer is dropped and taken for a No.
    r = host.run(exe, b"y" * 1_000_000)
    assert r.lines[:-1] == found_run(root, image) + [
        CONFIRM, "输入的内容太长，已忽略，按“否”处理"] + folder_prompt(root) + [NO_FOLDER], r.lines
    assert (newer / "main.png").read_bytes() == before
    assert not (newer / "main.png.bak").exists()
    # Each xdg-open runs detached, so the log does not keep their order; the
    # order itself is the unit tests' business.
    assert sorted(host.recorded_opens(count=5)) == sorted([[image], [root]] * 2 + [[image]])


def test_a_typed_folder_replaces_the_choice(host, exe):
    now = time.time()
    auto = host.make_skin("auto", sample_png(), mtime=now)
    typed = host.make_skin("my skin", sample_png(), mtime=now - 3600)
    root, auto_image, typed_image = (str(p) for p in (
        host.skin_root, auto / "main.png", typed / "main.png"))
    r = host.run(exe, f'n\n  "{typed}"  \ny\n50\n\n'.encode())
    assert r.exit_code == 0, r.stdout
    assert r.lines[:10] == found_run(root, auto_image) + [CONFIRM] + folder_prompt(root) + [
        "尝试打开图片" + typed_image, CONFIRM], r.lines
    assert DONE in r.lines, r.lines
    assert (typed / "main.png.bak").exists()
    assert not (auto / "main.png.bak").exists()
    assert sorted(host.recorded_opens(count=3)) == sorted([[auto_image], [root], [typed_image]])
