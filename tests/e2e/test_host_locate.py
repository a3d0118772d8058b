"""Locating and confirming the skin with the host build: no skin root, an
empty one, one skin, the newer of two; then a No, a typed folder with a
blank in quotes, and a Yes, with the opened files recorded by xdg-open.

    python3 tests/e2e/test_host_locate.py --exe build/host/skinalpha
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from host_session import HostSession, box_line, host_main  # noqa: E402
from locate_expect import (CONFIRM_TEXT, NO_FOLDER, assert_pauses_last, folder_prompt,  # noqa: E402
                           found_run, hint_run)
from sample_png import opaque_rgba_png  # noqa: E402

CONFIRM = box_line("提示", CONFIRM_TEXT)


def without_skin_folders_the_hint_is_shown(h: HostSession, exe: Path):
    root = str(h.skin_root)
    h.reset()
    r = h.run(exe)
    assert r.exit_code == 0, r.stdout
    assert r.lines[:-1] == hint_run(root), r.lines
    assert_pauses_last(r.lines)

    h.reset()
    h.skin_root.mkdir(parents=True)
    (h.skin_root / "main.png").write_bytes(b"a file, not a skin folder")
    r = h.run(exe)
    assert r.lines[:-1] == hint_run(root), r.lines
    assert h.recorded_calls("xdg-open", count=1, timeout=0.5) == []


def the_newer_of_two_skins_is_offered(h: HostSession, exe: Path):
    h.reset()
    now = time.time()
    h.make_skin("older", opaque_rgba_png(), mtime=now - 7200)
    newer = h.make_skin("newer", opaque_rgba_png(), mtime=now - 3600)
    image = str(newer / "main.png")
    before = (newer / "main.png").read_bytes()
    # End of input answers No and leaves the folder prompt without a folder.
    r = h.run(exe)
    root = str(h.skin_root)
    assert r.exit_code == 0, r.stdout
    assert r.lines[:-1] == found_run(root, image) + [CONFIRM] + folder_prompt(root) + [
        NO_FOLDER], r.lines
    assert_pauses_last(r.lines)
    assert (newer / "main.png").read_bytes() == before
    assert not (newer / "main.png.bak").exists()
    # Each xdg-open runs detached, so the log does not keep their order; the
    # order itself is the unit tests' business.
    assert sorted(h.recorded_calls("xdg-open", count=2)) == sorted([[image], [root]])


def a_typed_folder_replaces_the_choice(h: HostSession, exe: Path):
    h.reset()
    now = time.time()
    h.make_skin("auto", opaque_rgba_png(), mtime=now)
    typed = h.make_skin("my skin", opaque_rgba_png(), mtime=now - 3600)
    root = str(h.skin_root)
    auto_image = str(h.skin_root / "auto" / "main.png")
    typed_image = str(typed / "main.png")
    r = h.run(exe, f'n\n  "{typed}"  \ny\n50\n\n'.encode())
    assert r.exit_code == 0, r.stdout
    assert r.lines[:10] == found_run(root, auto_image) + [CONFIRM] + folder_prompt(root) + [
        "尝试打开图片" + typed_image, CONFIRM], r.lines
    assert "转换完毕，重启QQ生效！按任意退出" in r.lines, r.lines
    assert (typed / "main.png.bak").exists()
    assert not (h.skin_root / "auto" / "main.png.bak").exists()
    assert sorted(h.recorded_calls("xdg-open", count=3)) == sorted(
        [[auto_image], [root], [typed_image]])


def main() -> int:
    return host_main([without_skin_folders_the_hint_is_shown,
                      the_newer_of_two_skins_is_offered,
                      a_typed_folder_replaces_the_choice])


if __name__ == "__main__":
    sys.exit(main())
