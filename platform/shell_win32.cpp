// Windows shell: folder lookup and ShellExecuteW.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/shell.h"
#include "platform/text_win32.h"

namespace platform {

char path_separator() { return '\\'; }

std::string expand_typed_path(const std::string& text) {
  const std::wstring wide = to_utf16(text);
  const DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
  if (needed == 0) return text;
  std::wstring expanded(needed, L'\0');
  const DWORD written =
      ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return text;
  expanded.resize(written - 1);  // the count includes the terminating null
  return to_utf8(expanded);
}

bool SystemShell::roaming_appdata_folder(std::string& folder) {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer);
  folder = to_utf8(buffer);
  return result >= 0;
}

void SystemShell::open_with_default_app(const std::string& path) {
  ShellExecuteW(nullptr, L"open", to_utf16(path).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

void SystemShell::open_file_manager(const std::string& folder) {
  // Quoted, because Explorer splits an unquoted parameter at blanks and a
  // user name with a space would open some other folder.
  const std::wstring parameter = L"\"" + to_utf16(folder) + L"\"";
  ShellExecuteW(nullptr, L"open", L"explorer.exe",
                folder.empty() ? nullptr : parameter.c_str(), nullptr,
                SW_SHOWNORMAL);
}

void SystemShell::start_program(const std::string& path) {
  ShellExecuteW(nullptr, L"open", to_utf16(path).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

}  // namespace platform
