// recorder: stands in for the default image viewer. Each run appends one
// line to recorder.log beside this executable: its arguments as UTF-8,
// separated by tabs, so a test can see which file the tool asked to open.
#include "utf8_text.h"

#include <wchar.h>

int main(void) {
  int argc = 0;
  wchar_t **argv = wide_args(&argc);
  wchar_t log_path[MAX_PATH + 16];
  if (!argv || !own_directory(log_path, MAX_PATH)) return 1;
  wcscat(log_path, L"recorder.log");

  size_t cap = 2;
  for (int i = 1; i < argc; ++i) cap += wcslen(argv[i]) + 1;
  wchar_t *line = (wchar_t *)calloc(cap, sizeof(wchar_t));
  if (!line) return 1;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) wcscat(line, L"\t");
    wcscat(line, argv[i]);
  }
  wcscat(line, L"\n");

  // FILE_APPEND_DATA alone makes every write land at the end, even when two
  // viewers were started at nearly the same moment.
  HANDLE log = CreateFileW(log_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (log == INVALID_HANDLE_VALUE) return 1;
  int ok = write_utf8(log, line);
  CloseHandle(log);
  return ok ? 0 : 1;
}
