"""The Windows program must start on a bare Windows: it may import only
DLLs that every Windows has. And it must keep every character of every path
whatever the system's ANSI code page: no narrow file, shell or message box
call may be imported. Reads the import table with objdump."""

import re
import subprocess

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll",
               "ole32.dll", "shlwapi.dll", "comctl32.dll", "gdi32.dll"}
# Calls whose narrow form would turn a character outside the code page into '?'.
NARROW = re.compile(r"^(CreateFile|FindFirstFile|FindNextFile|GetFileAttributes(Ex)?|"
                    r"SetFileAttributes|CopyFile(Ex)?|MoveFile(Ex)?|DeleteFile|"
                    r"CreateDirectory|RemoveDirectory|GetFullPathName|ShellExecute(Ex)?|"
                    r"SHGetFolderPath|SHGetSpecialFolderPath|MessageBox(Ex)?|"
                    r"WriteConsole|ReadConsole)A$|^_findfirst|^_findnext")


def test_only_system_dlls_and_no_narrow_calls_are_imported(exe, objdump):
    dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True,
                          timeout=60).stdout
    imported = [line.split(":", 1)[1].strip() for line in dump.splitlines()
                if line.strip().startswith("DLL Name:")]
    calls = [fields[2] for fields in (line.split() for line in dump.splitlines())
             if len(fields) == 3 and re.fullmatch(r"[0-9a-f]+", fields[0])
             and fields[1].isdigit()]
    assert imported and calls, "no imports read"
    assert [dll for dll in imported if dll.lower() not in SYSTEM_DLLS] == [], imported
    assert [call for call in calls if NARROW.search(call)] == []
