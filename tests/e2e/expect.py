"""What a run shows and leaves, for both builds: the console lines in order
(only the separator and the host's box lines differ), sample skin images,
and the pixels of a rewritten one. PNGs are written and read here in pure
Python, so a check does not trust the codec it checks."""

import os
import struct
import zlib
from pathlib import Path
from typing import List, Optional, Tuple

BANNER = "Made By OXT"
FOUND_ROOT = "获取应用数据文件夹成功:"
HINT = "请先更换自定义皮肤之后再使用此功能"
CONFIRM_TEXT = "现在使用的图片是否正确？"
RESTART_TEXT = "重启QQ之后生效，是否立即重启QQ？"
OPEN_FOLDERS = "请分别打开文件夹找到你现在的皮肤文件夹"
TYPE_FOLDER = ("然后在下面输入文件夹路径,如:C:\\Users\\admin\\AppData\\Roaming\\Tencent"
               "\\QQ\\Skins\\customize\\F2BBEC5EE65C628D89B2BA212B0DEF8B，然后按下回车确认")
NO_FOLDER = "没有输入文件夹路径，图片未作任何修改"
NO_ANSWER = "输入已结束，没有回答，图片未作任何修改"
PROMPT = "输入不透明度(0-100)越小越透明(推荐50),回车确认"
DONE = "转换完毕，重启QQ生效！按任意退出"
NOT_A_NUMBER = "输入的不是0-100的整数，按推荐值50处理"
PAUSE = "请按任意键继续"
SKIN = "F2BBEC5EE65C628D89B2BA212B0DEF8B"


def hint_run(root: str) -> List[str]:
    return [BANNER, FOUND_ROOT + root, HINT]


def found_run(root: str, image: str) -> List[str]:
    return [BANNER, FOUND_ROOT + root, "已找到图片:" + image, "尝试打开图片" + image]


def folder_prompt(root: str) -> List[str]:
    return [FOUND_ROOT + root, OPEN_FOLDERS, TYPE_FOLDER]


def transform_lines(backup: bool, widens: bool, note: Optional[str] = None) -> List[str]:
    """The lines of a transform that succeeds; note is what the answer to the
    prompt drew when it was not used as typed."""
    lines = ["备份文件中"] if backup else []
    lines += ["加载中..", "加载完成"]
    if widens:
        lines += ["转换格式中 24=>32...", "转换中格式完成，重新加载中..", "加载完成"]
    lines.append(PROMPT)
    if note is not None:
        lines.append(note)
    return lines + ["转换中...", "转换完成，保存中...", DONE]


def assert_pauses_last(lines: List[str], pause: str = PAUSE):
    assert lines and lines[-1].startswith(pause), lines


def assert_finished(run, pause: str = PAUSE):
    """run ended well: exit code 0, output in the expected encoding, and
    the closing pause line last."""
    assert run.stdout_is_valid, "the output does not decode: %r" % run.raw_stdout
    assert run.exit_code == 0, run.stdout
    assert_pauses_last(run.lines, pause)


def assert_only_image_and_backup(session, folder: Path, old: bytes):
    """A run kept old as the backup and wrote nothing but the image: no
    other file beside it, no other skin folder, nothing in its working
    folder (a folder name run through a shell would leave some)."""
    assert (folder / "main.png.bak").read_bytes() == old
    assert sorted(os.listdir(folder)) == ["main.png", "main.png.bak"]
    assert os.listdir(folder.parent) == [folder.name]
    assert os.listdir(session.work) == []


def transform_part(lines: List[str], pause: str = PAUSE) -> List[str]:
    """The transform's lines of a run: from the backup or load line up to
    the closing pause line, which must be the last."""
    assert_pauses_last(lines, pause)
    start = next(i for i, line in enumerate(lines) if line in ("备份文件中", "加载中.."))
    return lines[start:-1]


# ---- PNG --------------------------------------------------------------

SIGNATURE = b"\x89PNG\r\n\x1a\n"
COLOUR_TYPES = {3: 2, 4: 6}  # channels -> PNG colour type


def _chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_png(width: int, height: int, pixels: bytes, channels: int) -> bytes:
    """A PNG of rows of `channels`-byte pixels (3: RGB, 4: RGBA)."""
    stride = width * channels
    rows = b"".join(b"\0" + pixels[y * stride:(y + 1) * stride] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, COLOUR_TYPES[channels], 0, 0, 0)
    return (SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(rows))
            + _chunk(b"IEND", b""))


def picture(width: int, height: int, channels: int, seed: int = 1) -> bytes:
    """Varied pixels: a gradient with a repeatable grain."""
    out = bytearray()
    state = seed
    for y in range(height):
        for x in range(width):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            grain = state >> 27
            out += bytes(((x * 7 + grain) & 255, (y * 5 + grain) & 255, (x + y + grain) & 255))
            if channels == 4:
                out.append((x * 13 + y) & 255)
    return bytes(out)


def sample_png(width: int = 8, height: int = 8, channels: int = 4, seed: int = 1) -> bytes:
    return write_png(width, height, picture(width, height, channels, seed), channels)


def _paeth(a: int, b: int, c: int) -> int:
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data: bytes) -> Tuple[int, int, int, bytes]:
    """(width, height, channels, pixels) of an 8-bit, non-interlaced RGB or
    RGBA PNG; raises ValueError for anything else or a damaged file."""
    if data[:8] != SIGNATURE:
        raise ValueError("not a PNG")
    at, idat, header = 8, [], None
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        if struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] != zlib.crc32(kind + body):
            raise ValueError(f"bad CRC in {kind!r}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        at += 12 + length
    if header is None:
        raise ValueError("no IHDR")
    width, height, depth, colour_type, _, _, interlace = header
    channels = {v: k for k, v in COLOUR_TYPES.items()}.get(colour_type)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError(f"unsupported PNG: depth {depth}, colour type {colour_type}")
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("image data of the wrong length")
    out = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            row[i] = (row[i] + (0, left, up, (left + up) >> 1, _paeth(left, up, corner))[kind]) & 255
        out += row
        previous = row
    return width, height, channels, bytes(out)


def colours(png: bytes) -> List[bytes]:
    """The RGB triples of a PNG's pixels, in order."""
    _, _, channels, pixels = read_png(png)
    return [pixels[i:i + 3] for i in range(0, len(pixels), channels)]


def check_pixels(image: Path, expected_colours: List[bytes], alpha: int):
    """The PNG at image holds RGBA pixels of these colours and one alpha."""
    _, _, channels, pixels = read_png(Path(image).read_bytes())
    assert channels == 4, channels
    assert colours(Path(image).read_bytes()) == expected_colours, "the colours changed"
    alphas = {pixels[i] for i in range(3, len(pixels), 4)}
    assert alphas == {alpha}, alphas
