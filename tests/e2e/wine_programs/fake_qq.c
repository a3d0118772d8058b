// fake_qq: stands in for the running chat client. Tests copy it as QQ.exe.
// At start it appends "<pid><TAB><own path>" to fake_qq.log beside itself,
// which tells a test that it is now in the process list; then it does
// nothing until it is terminated, and gives up by itself after two minutes
// so that a test which never terminates it leaves nothing behind.
#include "utf8_text.h"

#include <wchar.h>

int main(void) {
  wchar_t self[MAX_PATH];
  wchar_t log_path[MAX_PATH + 16];
  wchar_t line[MAX_PATH + 32];
  DWORD n = GetModuleFileNameW(NULL, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !own_directory(log_path, MAX_PATH)) return 1;
  wcscat(log_path, L"fake_qq.log");
  swprintf(line, MAX_PATH + 32, L"%lu\t%ls\n", (unsigned long)GetCurrentProcessId(), self);
  HANDLE log = CreateFileW(log_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (log != INVALID_HANDLE_VALUE) {
    write_utf8(log, line);
    CloseHandle(log);
  }
  Sleep(120 * 1000);
  return 0;
}
