// fake_launcher: stands in for the client's launcher. Tests copy it as
// QQScLauncher.exe beside the fake client; each start (over)writes
// launched.txt beside itself with its own full path in UTF-8, so a test sees
// that the launcher from the right folder was started.
#include "utf8_text.h"

#include <wchar.h>

int main(void) {
  wchar_t self[MAX_PATH];
  wchar_t out_path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameW(NULL, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !own_directory(out_path, MAX_PATH)) return 1;
  wcscat(out_path, L"launched.txt");
  HANDLE out = CreateFileW(out_path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
  if (out == INVALID_HANDLE_VALUE) return 1;
  int ok = write_utf8(out, self);
  CloseHandle(out);
  return ok ? 0 : 1;
}
