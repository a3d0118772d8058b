// double_click: starts a script the way Explorer starts a double-clicked
// .cmd, with the command line cmd.exe /c ""<script>" ", which a Unix shell
// cannot hand to `wine cmd` intact. The script inherits our standard
// handles and current folder; we wait for it and exit with its exit code
// (1000 when it could not be started).
#include "utf8_text.h"

#include <stdio.h>
#include <wchar.h>

int main(void) {
  int argc = 0;
  wchar_t **argv = wide_args(&argc);
  if (!argv || argc != 2) {
    fputs("usage: double_click.exe C:\\path\\to\\script.cmd\n", stderr);
    return 1000;
  }
  size_t cap = wcslen(argv[1]) + 32;
  wchar_t *command = (wchar_t *)malloc(cap * sizeof(wchar_t));
  if (!command) return 1000;
  swprintf(command, cap, L"cmd.exe /c \"\"%ls\" \"", argv[1]);
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process;
  if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
    fprintf(stderr, "CreateProcessW failed: %lu\n", (unsigned long)GetLastError());
    return 1000;
  }
  DWORD code = 1000;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (int)code;
}
