// UTF-16 to UTF-8 helpers shared by the test programs: the harness reads
// everything they print or write as UTF-8, whatever the ANSI code page is.
#ifndef E2E_UTF8_TEXT_H
#define E2E_UTF8_TEXT_H

#include <windows.h>
#include <shellapi.h>  // WIN32_LEAN_AND_MEAN leaves CommandLineToArgvW out
#include <stdlib.h>

// Returns a malloc'ed UTF-8 copy of text (never null; empty on failure);
// *len receives its length in bytes.
static inline char *utf8_from_wide(const wchar_t *text, int *len) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  char *out = (char *)malloc(n > 0 ? (size_t)n : 1);
  if (n <= 0 || !out ||
      !WideCharToMultiByte(CP_UTF8, 0, text, -1, out, n, NULL, NULL)) {
    if (out) out[0] = '\0';
    *len = 0;
    return out;
  }
  *len = n - 1;
  return out;
}

// Writes text as UTF-8 to handle; returns nonzero when every byte went out.
static inline int write_utf8(HANDLE handle, const wchar_t *text) {
  int len = 0;
  char *bytes = utf8_from_wide(text, &len);
  DWORD done = 0;
  int ok = bytes && (len == 0 || (WriteFile(handle, bytes, (DWORD)len, &done, NULL) &&
                                  done == (DWORD)len));
  free(bytes);
  return ok;
}

// Our arguments as UTF-16, argv[0] included; the ANSI argv of the C runtime
// would lose every character outside the code page.
static inline wchar_t **wide_args(int *argc) {
  return CommandLineToArgvW(GetCommandLineW(), argc);
}

// Writes the directory part of this executable's path, with a trailing
// backslash, into dir (capacity cap); returns nonzero on success.
static inline int own_directory(wchar_t *dir, DWORD cap) {
  DWORD n = GetModuleFileNameW(NULL, dir, cap);
  if (n == 0 || n >= cap) return 0;
  while (n > 0 && dir[n - 1] != L'\\' && dir[n - 1] != L'/') --n;
  dir[n] = L'\0';
  return n > 0;
}

#endif
