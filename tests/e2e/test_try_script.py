"""scripts/try driven from a pipe on programs already built: the run ends
well and takes its throwaway folder with it, and the preview shows the skin
before and after over a checkerboard that shows through as far as the typed
opacity asks.

    python3 -m pytest tests/e2e/test_try_script.py --script scripts/try --built build/host
"""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

import pytest

from expect import read_png

DONE = "转换完毕，重启QQ生效！按任意退出"


class Picture:
    def __init__(self, data: bytes):
        self.width, self.height, channels, pixels = read_png(data)
        self.rgb = [pixels[i:i + 3] for i in range(0, len(pixels), channels)]
        self.alphas = {pixels[i] for i in range(3, len(pixels), 4)} if channels == 4 else {255}

    def columns(self, left: int, width: int):
        return [self.rgb[y * self.width + x]
                for y in range(self.height) for x in range(left, left + width)]


class Try:
    """A scratch folder for runs of the script: its own TMPDIR, so a
    throwaway folder left behind shows, and the preview's folder."""

    def __init__(self, script: Path, built: Path):
        self.script, self.built = script, built
        self.root = Path(tempfile.mkdtemp(prefix="skinalpha-try-test-"))
        self.tmp = self.root / "tmp"
        self.tmp.mkdir()
        self.out = self.root / "out"
        subprocess.run([str(built / "try_pictures"), "sample", str(self.root / "sample.png")],
                       check=True, timeout=30)
        self.sample = Picture((self.root / "sample.png").read_bytes())

    def run(self, typed: bytes, built=None, expect_status=0):
        preview = self.out / "preview.png"
        if preview.exists():
            preview.unlink()
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["TMPDIR"] = str(self.tmp)
        r = subprocess.run(["bash", str(self.script), "--built", str(built or self.built),
                            "--out", str(self.out)], input=typed, capture_output=True,
                           env=env, cwd=self.root, timeout=60)
        assert r.returncode == expect_status, r
        assert os.listdir(self.tmp) == [], os.listdir(self.tmp)
        lines = r.stdout.decode("utf-8").split("\n")
        if expect_status != 0:
            assert not preview.exists()
            return lines, None
        assert lines[-2].endswith(f": {preview}"), lines[-3:]
        return lines, Picture(preview.read_bytes())

    def halves(self, preview: Picture):
        """(original, result) pixels of a preview, after checking its shape."""
        w = self.sample.width
        gap = preview.width - 2 * w
        assert 0 <= gap <= 64 and preview.height == self.sample.height, (
            preview.width, preview.height)
        assert len(set(preview.columns(w, gap))) <= 1, "the gap is not plain"
        return preview.columns(0, w), preview.columns(w + gap, w)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


@pytest.fixture(scope="module")
def t(pytestconfig):
    """--script: scripts/try; --built: the folder of skinalpha and try_pictures."""
    runs = Try(*(Path(pytestconfig.getoption(name)).resolve() for name in ("script", "built")))
    yield runs
    runs.close()


def mostly_differ(a, b) -> bool:
    return sum(p != q for p, q in zip(a, b)) >= 0.9 * len(a)


def test_the_result_half_shows_the_checkerboard_as_far_as_the_opacity(t: Try):
    assert t.sample.alphas == {255}, "the sample must be opaque for these checks"
    results = {}
    for opacity in (0, 40, 100):
        lines, preview = t.run(b"y\n%d\n\n" % opacity)
        assert DONE in lines, lines
        # The stand-in viewer named the skin it was asked to show.
        assert any("要打开的是" in line and line.endswith("/7E3A91C4/main.png）")
                   for line in lines), lines
        original, results[opacity] = t.halves(preview)
        assert original == t.sample.rgb

    board = results[0]
    greys = set(board)
    assert len(greys) == 2 and all(p[0] == p[1] == p[2] for p in greys), greys
    assert mostly_differ(board, t.sample.rgb)
    assert results[100] == t.sample.rgb

    # Opacity 40 is alpha 102: each pixel is that share of the skin over the board.
    alpha = 102 / 255
    for i, (skin, under, shown) in enumerate(zip(t.sample.rgb, board, results[40])):
        for c in range(3):
            expected = alpha * skin[c] + (1 - alpha) * under[c]
            assert abs(shown[c] - expected) <= 1, (i, skin, under, shown)
    assert mostly_differ(results[40], board) and mostly_differ(results[40], t.sample.rgb)


def test_answering_no_leaves_the_skin_as_it_was(t: Try):
    lines, preview = t.run(b"n\n\n")
    assert "没有输入文件夹路径，图片未作任何修改" in lines, lines
    assert "皮肤图片没有改变。" in lines, lines
    original, result = t.halves(preview)
    assert original == result == t.sample.rgb


def test_a_failing_program_fails_the_script(t: Try):
    broken = t.root / "broken"
    broken.mkdir()
    (broken / "try_pictures").symlink_to(t.built / "try_pictures")
    (broken / "skinalpha").write_text("#!/bin/sh\necho 半途而废\nexit 3\n")
    (broken / "skinalpha").chmod(0o755)
    lines, _ = t.run(b"y\n40\n\n", built=broken, expect_status=3)
    assert "半途而废" in lines, lines

