"""PNG files for the transform's end-to-end runs, in pure Python (zlib):
writing an 8-bit RGB or RGBA picture, and reading any 8-bit RGB/RGBA PNG
back into pixels, every row filter included."""

import struct
import zlib
from typing import List, Tuple

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {2: 3, 6: 4}  # colour type -> channels


def _chunk(kind: bytes, body: bytes) -> bytes:
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body)))


def write_png(width: int, height: int, pixels: bytes, channels: int) -> bytes:
    """A PNG of rows of `channels`-byte pixels (3: RGB, 4: RGBA)."""
    colour_type = {3: 2, 4: 6}[channels]
    stride = width * channels
    rows = b"".join(b"\0" + pixels[y * stride:(y + 1) * stride] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(rows))
            + _chunk(b"IEND", b""))


def test_picture(width: int, height: int, channels: int, seed: int = 1) -> bytes:
    """Varied pixels: a gradient with a repeatable grain."""
    out = bytearray()
    x_state = seed
    for y in range(height):
        for x in range(width):
            x_state = (x_state * 1103515245 + 12345) & 0x7FFFFFFF
            grain = x_state >> 27
            out += bytes(((x * 7 + grain) & 255, (y * 5 + grain) & 255, (x + y + grain) & 255))
            if channels == 4:
                out.append((x * 13 + y) & 255)
    return bytes(out)


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
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
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
    if depth != 8 or colour_type not in CHANNELS or interlace != 0:
        raise ValueError(f"unsupported PNG: depth {depth}, colour type {colour_type}")
    channels = CHANNELS[colour_type]
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
            predictor = (0, left, up, (left + up) >> 1, _paeth(left, up, corner))[kind]
            row[i] = (row[i] + predictor) & 255
        out += row
        previous = row
    return width, height, channels, bytes(out)


def colours_and_alphas(pixels: bytes, channels: int) -> Tuple[List[bytes], set]:
    """The RGB triples in order, and the set of alpha values (255 for RGB)."""
    rgb = [pixels[i:i + 3] for i in range(0, len(pixels), channels)]
    alphas = {pixels[i] for i in range(3, len(pixels), 4)} if channels == 4 else {255}
    return rgb, alphas
