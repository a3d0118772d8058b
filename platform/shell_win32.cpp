// Windows shell: folder lookup and ShellExecuteW.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/shell.h"
#include "platform/text_win32.h"

namespace platform {
namespace {

// Wine's ShellExecuteW crashes the process on a path of about 1,000 units
// (less the length of the prefix's own Unix path), and Windows opens no
// plain path past MAX_PATH anyway: a longer one is not handed over.
constexpr std::size_t kLongestShellPath = 2 * MAX_PATH;

void shell_open(const std::wstring& file, const std::wstring& parameters) {
  if (file.size() > kLongestShellPath ||
      parameters.size() > kLongestShellPath) {
    return;
  }
  ShellExecuteW(nullptr, L"open", file.c_str(),
                parameters.empty() ? nullptr : parameters.c_str(), nullptr,
                SW_SHOWNORMAL);
}

}  // namespace

std::string expand_typed_path(const std::string& text) {
  if (text.find('%') == std::string::npos) return text;
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
  shell_open(to_utf16(path), L"");
}

void SystemShell::open_file_manager(const std::string& folder) {
  // Quoted, because Explorer splits an unquoted parameter at blanks and a
  // user name with a space would open some other folder.
  shell_open(L"explorer.exe",
             folder.empty() ? L"" : L"\"" + to_utf16(folder) + L"\"");
}

void SystemShell::start_program(const std::string& path) {
  shell_open(to_utf16(path), L"");
}

}  // namespace platform
