"""The Windows zip as cpack makes it: the program, the restore script beside
it, the users' instructions as plain text every Notepad shows right
(byte-order mark, CR LF, no Markdown marks, nothing of the README section
lost) and the licence when there is one.

    python3 -m pytest tests/e2e/test_windows_package.py --cpack cpack \\
        --config build/windows/CPackConfig.cmake --source .
"""

import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path
from types import SimpleNamespace

import pytest

BOM = b"\xef\xbb\xbf"
INSTRUCTIONS = "使用说明.txt"
RESTORE = "恢复原图.cmd"
# ASCII for cmd, which reads a script in the OEM code page; the folder quoted.
RESTORE_SCRIPT = b'@echo off\r\n"%~dp0skinalpha.exe" --restore\r\n'
LICENCES = ("LICENSE", "LICENSE.txt", "LICENSE.md", "COPYING")
# Heading, code, emphasis, bullet and comment marks.
MARKDOWN = re.compile(r"^\s*#|`|\*\*|__|(?<!\w)[*_]\S(.*\S)?[*_](?!\w)|^\s*[-+*]\s|<!--")


def pack(args, folder: Path) -> zipfile.ZipFile:
    subprocess.run([args.cpack, "--config", args.config, "-B", str(folder)], check=True,
                   stdout=subprocess.DEVNULL, timeout=300)
    zips = list(folder.glob("*.zip"))
    assert len(zips) == 1, zips
    return zipfile.ZipFile(zips[0])


def check_notepad_text(data: bytes):
    assert data.startswith(BOM), data[:16]
    text = data[len(BOM):].decode("utf-8")
    assert text.endswith("\r\n"), repr(text[-20:])
    assert "\n" not in text.replace("\r\n", "") and "\r" not in text.replace("\r\n", ""), \
        "a line end other than CR LF"
    return text[:-2].split("\r\n")


def users_section(source: Path):
    readme = (source / "README.md").read_text("utf-8")
    return readme.split("<!-- users -->", 1)[1].split("<!-- /users -->", 1)[0].split("\n")


@pytest.fixture(scope="module")
def args(pytestconfig):
    """--cpack, --config (CPackConfig.cmake of the Windows build), --source."""
    return SimpleNamespace(**{name: pytestconfig.getoption(name)
                              for name in ("cpack", "config", "source")})


def test_the_zip_holds_the_program_and_plain_instructions(args):
    with tempfile.TemporaryDirectory(prefix="skinalpha-package-") as folder, \
            pack(args, Path(folder)) as z:
        names = {info.filename: info for info in z.infolist()}
        licence = any((args.source / name).exists() for name in LICENCES)
        assert set(names) == {"skinalpha.exe", INSTRUCTIONS, RESTORE} | (
            {"LICENSE.txt"} if licence else set()), list(names)
        # Without the flag Windows reads the name in the OEM code page.
        assert all(names[n].flag_bits & 0x800 for n in (INSTRUCTIONS, RESTORE)), \
            "file name not marked as UTF-8"
        assert z.read("skinalpha.exe")[:2] == b"MZ"
        assert z.read(RESTORE) == RESTORE_SCRIPT
        lines = check_notepad_text(z.read(INSTRUCTIONS))
        if licence:
            check_notepad_text(z.read("LICENSE.txt"))

    marked = [line for line in lines if MARKDOWN.search(line)]
    assert marked == [], marked
    section = users_section(args.source)
    headings = [line.lstrip("#").strip() for line in section if line.startswith("#")]
    assert headings and lines[0] == headings[0], (lines[:2], headings)
    assert all(h in lines for h in headings), headings
    # Every line of the section that carries no Markdown is kept (code
    # blocks may be indented).
    kept = {line.strip() for line in lines}
    plain = [line.strip() for line in section if line.strip() and not MARKDOWN.search(line)]
    missing = [line for line in plain if line not in kept]
    assert plain and missing == [], missing
    assert any(RESTORE in line for line in lines), "the instructions do not name " + RESTORE
    commands = [line.strip() for line in lines if "wine skinalpha.exe" in line]
    assert commands == ["WINEPREFIX=~/.wine wine skinalpha.exe"], commands


def test_a_licence_is_reencoded_for_notepad(args):
    folder = Path(tempfile.mkdtemp(prefix="skinalpha-licence-"))
    try:
        reencode_licence(args, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def reencode_licence(args, folder: Path):
    source = folder / "LICENSE"
    source.write_bytes(b"\xef\xbb\xbfMIT \xc2\xa9 2024\n\nline\r\nlast")
    subprocess.run([sys.executable, str(args.source / "cmake" / "windows_text.py"), "plain",
                    str(source), str(folder / "LICENSE.txt")], check=True, timeout=30)
    written = (folder / "LICENSE.txt").read_bytes()
    assert written == BOM + "MIT © 2024\r\n\r\nline\r\nlast\r\n".encode("utf-8"), written

