"""The opacity transform in whole runs of the host program: the backup made
once, the lines in order, the pixels written, and a run whose writes are cut
short by a file-size limit (ulimit -f) that leaves the image whole."""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import run_cases  # noqa: E402
from png_pixels import colours_and_alphas, read_png, test_picture, write_png  # noqa: E402
from transform_expect import DONE, check_pixels, transform_lines  # noqa: E402

CONFIRM_BOX = "提示: 现在使用的图片是否正确？ [y/n]"
PAUSE = "请按任意键继续. . ."


class Skin:
    """A temp config folder holding one custom skin, and runs of the tool
    on it with typed input."""

    def __init__(self, exe: Path, folder_name: str = "F2BBEC5E"):
        self.exe = exe
        self.root = Path(tempfile.mkdtemp(prefix="skinalpha-transform-"))
        self.config = self.root / "config"
        self.folder = self.config / "Tencent" / "QQ" / "Skins" / "customize" / folder_name
        self.folder.mkdir(parents=True)
        self.image = self.folder / "main.png"
        self.backup = self.folder / "main.png.bak"
        # No desktop viewer may open during a test.
        self.bin = self.root / "bin"
        self.bin.mkdir()
        (self.bin / "xdg-open").write_text("#!/bin/sh\nexit 0\n")
        (self.bin / "xdg-open").chmod(0o755)

    def run(self, typed: bytes, file_size_limit=None):
        env = dict(os.environ, XDG_CONFIG_HOME=str(self.config), HOME=str(self.root),
                   PATH=f"{self.bin}:{os.environ.get('PATH', '/usr/bin:/bin')}")

        def limit():
            if file_size_limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE,
                                   (file_size_limit, resource.RLIM_INFINITY))
        result = subprocess.run([str(self.exe)], input=typed, capture_output=True, env=env,
                                cwd=self.root, timeout=60, preexec_fn=limit)
        assert result.returncode == 0, result
        lines = result.stdout.decode("utf-8").split("\n")
        found = lines.index(f"已找到图片:{self.image}")
        confirmed = lines.index(CONFIRM_BOX, found)
        assert lines[-1] == "", lines
        assert lines[-2] == PAUSE, lines
        return lines[confirmed + 1:-2]  # the transform's lines

    def names(self):
        return sorted(os.listdir(self.folder))

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def with_skin(exe, body, **kwargs):
    skin = Skin(exe, **kwargs)
    try:
        body(skin)
    finally:
        skin.close()


def three_channel_skin_backed_up_once_then_rewritten_twice(exe):
    def body(skin):
        old = write_png(31, 17, test_picture(31, 17, 3), 3)
        skin.image.write_bytes(old)
        colours, _ = colours_and_alphas(read_png(old)[3], 3)

        assert skin.run(b"y\n50\n\n") == transform_lines(True, True)
        assert skin.backup.read_bytes() == old
        check_pixels(skin.image, colours, 128)

        # Past 100 is taken as 100, and the run says so.
        assert skin.run(b"y\n150\n\n") == transform_lines(
            False, False, "不透明度超出0-100范围，按100处理")
        assert skin.backup.read_bytes() == old
        check_pixels(skin.image, colours, 255)
        assert skin.names() == ["main.png", "main.png.bak"], skin.names()

        skin.backup.unlink()
        rewritten = skin.image.read_bytes()
        assert skin.run(b"y\n0\n\n") == transform_lines(True, False)
        assert skin.backup.read_bytes() == rewritten
        check_pixels(skin.image, colours, 0)
    with_skin(exe, body)


def special_characters_in_the_folder_run_nothing(exe):
    def body(skin):
        old = write_png(8, 8, test_picture(8, 8, 4), 4)
        skin.image.write_bytes(old)
        assert skin.run(b"y\n20\n\n") == transform_lines(True, False)
        assert skin.backup.read_bytes() == old
        assert skin.names() == ["main.png", "main.png.bak"], skin.names()
        assert sorted(os.listdir(skin.folder.parent)) == [skin.folder.name]
        assert sorted(os.listdir(skin.root)) == ["bin", "config"], os.listdir(skin.root)
    with_skin(exe, body, folder_name="my skin & echo hacked > x %PATH% 100%")


def a_write_cut_short_leaves_the_image_whole(exe):
    def body(skin):
        # Grainy RGBA: the new file needs far more than the limit.
        old = write_png(160, 120, os.urandom(160 * 120 * 4), 4)
        skin.image.write_bytes(old)
        skin.backup.write_bytes(old)
        lines = skin.run(b"y\n50\n\n", file_size_limit=20000)
        assert lines[:-2] == transform_lines(False, False)[:-1], lines
        assert lines[-2] == f"保存失败，图片保持原样: {skin.image}", lines
        assert lines[-1].startswith("原因: "), lines
        assert DONE not in lines
        assert skin.image.read_bytes() == old
        assert skin.names() == ["main.png", "main.png.bak"], skin.names()
    with_skin(exe, body)


def end_of_input_at_the_prompt_changes_nothing(exe):
    def body(skin):
        old = write_png(8, 8, test_picture(8, 8, 4), 4)
        skin.image.write_bytes(old)
        lines = skin.run(b"y\n")
        assert lines == transform_lines(True, False)[:4] + [
            f"没有输入不透明度，透明度未改变: {skin.image}"], lines
        assert skin.image.read_bytes() == old
    with_skin(exe, body)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    args = parser.parse_args()
    exe = Path(args.exe).resolve()
    return run_cases([three_channel_skin_backed_up_once_then_rewritten_twice,
                      special_characters_in_the_folder_run_nothing,
                      a_write_cut_short_leaves_the_image_whole,
                      end_of_input_at_the_prompt_changes_nothing], exe)


if __name__ == "__main__":
    sys.exit(main())
