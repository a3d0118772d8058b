"""The opacity transform in whole runs of the Windows program under Wine: a
three-channel skin with no backup yet, the opacity typed on standard input;
then the backup holds the old file, the image the old colours with the new
alpha, and the GBK console lines come in their order."""

import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from png_pixels import colours_and_alphas, read_png, test_picture, write_png  # noqa: E402
from transform_expect import DONE, NOT_A_NUMBER, check_pixels, transform_lines  # noqa: E402
from wine_session import WineSession, wine_main  # noqa: E402

CONFIRM_TEXT = "现在使用的图片是否正确？"


def run_on_skin(w: WineSession, exe: Path, folder: Path, typed: bytes):
    """One run that confirms the image and types `typed`; returns the
    transform's console lines (those after the confirmation)."""
    result = w.run(exe, typed, boxes=[("提示", "yes")])
    assert result.exit_code == 0, result.stdout
    assert result.stdout_is_valid, "the output is not GBK: %r" % result.raw_stdout
    assert result.boxes == [CONFIRM_TEXT], result.boxes
    lines = result.lines
    image_win = w.to_windows(folder / "main.png")
    found = lines.index("已找到图片:" + image_win)
    start = next(i for i in range(found + 1, len(lines))
                 if lines[i] in ("备份文件中", "加载中.."))
    end = next(i for i in range(start, len(lines)) if lines[i].startswith("请按任意键继续"))
    return lines[start:end]


def three_channel_skin_without_backup(w: WineSession, exe: Path):
    w.reset()
    old = write_png(45, 23, test_picture(45, 23, 3, seed=4), 3)
    folder = w.make_skin("F2BBEC5EE65C628D89B2BA212B0DEF8B", old)
    colours, _ = colours_and_alphas(read_png(old)[3], 3)

    assert run_on_skin(w, exe, folder, b"50\n") == transform_lines(True, True)
    assert (folder / "main.png.bak").read_bytes() == old
    check_pixels(folder / "main.png", colours, 128)
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"], os.listdir(folder)

    # The next run keeps the first backup and skips the widening; a blank
    # line before the number and blanks and a CR around it are passed over.
    assert run_on_skin(w, exe, folder, b"\n 30 \r\n") == transform_lines(False, False)
    assert (folder / "main.png.bak").read_bytes() == old
    check_pixels(folder / "main.png", colours, 77)


def blanks_ampersands_and_percent_signs_in_the_folder(w: WineSession, exe: Path):
    w.reset()
    old = write_png(8, 8, test_picture(8, 8, 4), 4)
    folder = w.make_skin("my skin & echo hacked & %USERNAME% 100%", old)
    lines = run_on_skin(w, exe, folder, b"abc\n")
    assert lines == transform_lines(True, False, NOT_A_NUMBER), lines
    assert (folder / "main.png.bak").read_bytes() == old
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"], os.listdir(folder)
    assert os.listdir(folder.parent) == [folder.name], os.listdir(folder.parent)
    assert os.listdir(w.work) == [], os.listdir(w.work)
    check_pixels(folder / "main.png", colours_and_alphas(read_png(old)[3], 4)[0], 128)


def main() -> int:
    return wine_main([three_channel_skin_without_backup,
                      blanks_ampersands_and_percent_signs_in_the_folder])


if __name__ == "__main__":
    sys.exit(main())
