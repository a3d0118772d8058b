"""Text files for the Windows zip that every Notepad shows right: UTF-8 with
a byte-order mark (Notepad before Windows 10 1903 reads UTF-8 without one in
the ANSI code page) and CR LF line ends (the same Notepad shows LF-only text
as one long line).

    windows_text.py users README.md OUT   the README's users' section, its
                                          Markdown turned into plain text
    windows_text.py plain IN OUT          any text, only re-encoded
"""

import re
import sys
import unicodedata

BEGIN, END = "<!-- users -->", "<!-- /users -->"

HEADING = re.compile(r"^(#{1,6})\s+(.*?)(?:\s+#+)?\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")
BULLET = re.compile(r"^(\s*)[-*+]\s+")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
INLINE = [
    (re.compile(r"!?\[([^\]]*)\]\(([^)\s]+)\)"), r"\1 (\2)"),  # links, pictures
    (re.compile(r"(\*\*|__)(?=\S)(.+?)(?<=\S)\1"), r"\2"),
    (re.compile(r"(?<![\w*])\*(?=\S)(.+?)(?<=\S)\*(?![\w*])"), r"\1"),
    (re.compile(r"(?<![\w_])_(?=\S)(.+?)(?<=\S)_(?![\w_])"), r"\1"),
    (re.compile(r"<!--.*?-->"), ""),
    (re.compile(r"\\([\\`*_{}\[\]()#+\-.!<>|])"), r"\1"),
]


def read_text(path: str) -> str:
    with open(path, encoding="utf-8-sig") as f:
        return f.read().replace("\r\n", "\n").replace("\r", "\n")


def display_width(text: str) -> int:
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def plain_inline(text: str) -> str:
    """Drops emphasis, link and escape marks; code spans keep their text as
    it stands."""
    out, at = [], 0
    for m in CODE_SPAN.finditer(text):
        out.append(_plain_words(text[at:m.start()]))
        out.append(m.group(2).strip())
        at = m.end()
    out.append(_plain_words(text[at:]))
    return "".join(out)


def _plain_words(text: str) -> str:
    for pattern, replacement in INLINE:
        text = pattern.sub(replacement, text)
    return text


def markdown_to_plain(markdown: str) -> list:
    """Lines of plain text. Headings are underlined ("=" for the first
    level shown, "-" below it), bullets become "•", and the source's line
    breaks stay: old Notepad does not wrap lines."""
    lines, in_fence, top_level = [], False, None
    for line in markdown.split("\n"):
        if FENCE.match(line):
            in_fence = not in_fence
            continue
        if in_fence:
            lines.append("    " + line)
            continue
        heading = HEADING.match(line)
        if heading:
            level, title = len(heading.group(1)), plain_inline(heading.group(2))
            top_level = level if top_level is None else min(top_level, level)
            rule = "=" if level == top_level else "-"
            lines += ["", title, rule * display_width(title), ""]
            continue
        line = BULLET.sub(r"\1• ", line)
        lines.append(plain_inline(line).rstrip())
    # One blank line between blocks, none at either end.
    tidy = []
    for line in lines:
        if line or (tidy and tidy[-1]):
            tidy.append(line)
    while tidy and not tidy[-1]:
        tidy.pop()
    return tidy


def users_section(readme: str) -> str:
    start, end = readme.find(BEGIN), readme.find(END)
    if start < 0 or end < start:
        raise SystemExit(f"README.md has no {BEGIN} ... {END} section")
    return readme[start + len(BEGIN):end]


def write_windows_text(lines: list, path: str):
    with open(path, "wb") as f:
        f.write(b"\xef\xbb\xbf" + "".join(line + "\r\n" for line in lines).encode("utf-8"))


def main(argv) -> int:
    if len(argv) != 4 or argv[1] not in ("users", "plain"):
        print(__doc__, file=sys.stderr)
        return 2
    text = read_text(argv[2])
    if argv[1] == "users":
        lines = markdown_to_plain(users_section(text))
    else:
        lines = text.split("\n")
        if lines and lines[-1] == "":
            lines.pop()
    write_windows_text(lines, argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
