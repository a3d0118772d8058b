// double_click SCRIPT: starts SCRIPT as Explorer starts a double-clicked
// .cmd, cmd.exe /c ""SCRIPT" ", which no Unix shell passes to `wine cmd`
// intact. The script shares our standard handles; we exit with its code.
#include "utf8_text.h"

#include <wchar.h>

int main(void) {
  int argc = 0;
  wchar_t **argv = wide_args(&argc);
  wchar_t command[2 * MAX_PATH];
  STARTUPINFOW startup = {0};
  PROCESS_INFORMATION process;
  DWORD code = 1000;
  startup.cb = sizeof startup;
  if (!argv || argc != 2 ||
      swprintf(command, 2 * MAX_PATH, L"cmd.exe /c \"\"%ls\" \"", argv[1]) < 0 ||
      !CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
    return (int)code;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  return (int)code;
}
