// Windows files: the runtime's directory search, folder times through
// CreateFileA, and the Win32 copy and move calls.
#include <windows.h>
#include <io.h>


#include "platform/files.h"
#include "platform/handle_win32.h"

namespace platform {
namespace {

constexpr unsigned kDirectoryBit = 0x10;

std::string error_text(const std::string& what, DWORD code) {
  char* message = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<char*>(&message), 0,
                 nullptr);
  std::string text = what + ": ";
  if (message != nullptr) {
    text += message;
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                             text.back() == ' ')) {
      text.pop_back();
    }
  }
  return text + " (" + std::to_string(code) + ")";
}

}  // namespace

void SystemFolderReader::list_subfolders(const std::string& folder,
                                         std::vector<std::string>& out) {
  _finddata_t entry{};
  const intptr_t search = _findfirst((folder + "\\*").c_str(), &entry);
  if (search == -1) return;
  do {
    const std::string name = entry.name;
    if ((entry.attrib & kDirectoryBit) == 0) continue;
    if (name == "." || name == "..") continue;
    out.push_back(folder + "\\" + name);
  } while (_findnext(search, &entry) == 0);
  _findclose(search);
}

bool SystemFolderReader::last_write_time(const std::string& folder,
                                         LocalTime& time,
                                         SystemFailure& failure) {
  // Backup semantics is what lets CreateFileA open a directory.
  ScopedHandle handle(CreateFileA(folder.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
  if (!handle.valid()) {
    failure = {"CreateFileA()", GetLastError()};
    return false;
  }
  FILETIME written{};
  if (!GetFileTime(handle.get(), nullptr, nullptr, &written)) {
    failure = {"GetFileTime()", GetLastError()};
    return false;
  }
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  FileTimeToSystemTime(&written, &utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  time = {local.wYear,   local.wMonth,  local.wDayOfWeek, local.wDay,
          local.wHour,   local.wMinute, local.wSecond,    local.wMilliseconds};
  return true;
}

bool path_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

CopyOutcome copy_file_if_absent(const std::string& from, const std::string& to,
                                std::string& error) {
  if (path_exists(to)) return CopyOutcome::target_exists;
  if (!CopyFileA(from.c_str(), to.c_str(), TRUE)) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
      return CopyOutcome::target_exists;
    }
    error = error_text(from, code);
    return CopyOutcome::failed;
  }
  ScopedHandle copy(CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.valid() || !FlushFileBuffers(copy.get())) {
    error = error_text(to, GetLastError());
    return CopyOutcome::failed;
  }
  return CopyOutcome::copied;
}

bool write_new_file(const std::string& path, const unsigned char* data,
                    std::size_t size, std::string& error) {
  bool written = false;
  DWORD code = 0;
  {
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      error = error_text(path, GetLastError());
      return false;
    }
    written = true;
    while (written && size > 0) {
      const DWORD chunk =
          size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
      DWORD done = 0;
      written = WriteFile(file.get(), data, chunk, &done, nullptr) && done > 0;
      data += done;
      size -= done;
    }
    if (written) written = FlushFileBuffers(file.get()) != 0;
    if (!written) code = GetLastError();
  }
  if (!written) {
    DeleteFileA(path.c_str());
    error = error_text(path, code);
  }
  return written;
}

bool replace_file(const std::string& from, const std::string& to,
                  std::string& error) {
  if (!MoveFileExA(from.c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = error_text(to, GetLastError());
    return false;
  }
  return true;
}

bool remove_file(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

}  // namespace platform
