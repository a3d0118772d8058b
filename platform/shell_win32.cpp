// Windows shell: folder lookup and ShellExecute.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/shell.h"

namespace platform {

char path_separator() { return '\\'; }

bool SystemShell::roaming_appdata_folder(std::string& folder) {
  char buffer[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, buffer);
  folder = buffer;
  return result >= 0;
}

void SystemShell::open_with_default_app(const std::string& path) {
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

void SystemShell::open_file_manager(const std::string& folder) {
  // Quoted, because Explorer splits an unquoted parameter at blanks and a
  // user name with a space would open some other folder.
  const std::string parameter = "\"" + folder + "\"";
  ShellExecuteA(nullptr, "open", "explorer.exe",
                folder.empty() ? nullptr : parameter.c_str(), nullptr,
                SW_SHOWNORMAL);
}

void SystemShell::start_program(const std::wstring& path) {
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

bool SystemShell::program_exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace platform
