"""The Windows program must start on a bare Windows: it may import only
DLLs that every Windows has. Reads the import table with objdump.

    python3 tests/e2e/check_imports.py --exe build/windows/skinalpha.exe --objdump x86_64-w64-mingw32-objdump
"""

import argparse
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll",
               "ole32.dll", "shlwapi.dll", "comctl32.dll", "gdi32.dll"}


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--objdump", required=True)
    args = parser.parse_args()
    dump = subprocess.run([args.objdump, "-p", args.exe], check=True, capture_output=True,
                          text=True).stdout
    imported = [line.split(":", 1)[1].strip() for line in dump.splitlines()
                if line.strip().startswith("DLL Name:")]
    foreign = [dll for dll in imported if dll.lower() not in SYSTEM_DLLS]
    print("imports:", ", ".join(imported))
    if not imported or foreign:
        print("not a system DLL:", ", ".join(foreign) or "(no imports read)")
        print("0 passed, 1 failed")
        return 1
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
