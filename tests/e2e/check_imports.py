"""The Windows program must start on a bare Windows: it may import only
DLLs that every Windows has. And it must keep every character of every path
whatever the system's ANSI code page: no narrow file, shell or message box
call may be imported. Reads the import table with objdump.

    python3 tests/e2e/check_imports.py --exe build/windows/skinalpha.exe --objdump x86_64-w64-mingw32-objdump
"""

import argparse
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll",
               "ole32.dll", "shlwapi.dll", "comctl32.dll", "gdi32.dll"}
# Calls whose narrow form would turn a character outside the code page into '?'.
NARROW = re.compile(r"^(CreateFile|FindFirstFile|FindNextFile|GetFileAttributes(Ex)?|"
                    r"SetFileAttributes|CopyFile(Ex)?|MoveFile(Ex)?|DeleteFile|"
                    r"CreateDirectory|RemoveDirectory|GetFullPathName|ShellExecute(Ex)?|"
                    r"SHGetFolderPath|SHGetSpecialFolderPath|MessageBox(Ex)?|"
                    r"WriteConsole|ReadConsole)A$|^_findfirst|^_findnext")


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--objdump", required=True)
    args = parser.parse_args()
    dump = subprocess.run([args.objdump, "-p", args.exe], check=True, capture_output=True,
                          text=True).stdout
    imported = [line.split(":", 1)[1].strip() for line in dump.splitlines()
                if line.strip().startswith("DLL Name:")]
    calls = [fields[2] for fields in (line.split() for line in dump.splitlines())
             if len(fields) == 3 and re.fullmatch(r"[0-9a-f]+", fields[0])
             and fields[1].isdigit()]
    foreign = [dll for dll in imported if dll.lower() not in SYSTEM_DLLS]
    narrow = [call for call in calls if NARROW.search(call)]
    print("imports:", ", ".join(imported))
    failed = 0
    if not imported or foreign:
        print("not a system DLL:", ", ".join(foreign) or "(no imports read)")
        failed += 1
    if not calls or narrow:
        print("narrow calls:", ", ".join(narrow) or "(no calls read)")
        failed += 1
    print(f"{2 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
