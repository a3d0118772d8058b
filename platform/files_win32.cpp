// Windows files: wide directory search, folder times, and the Win32 create,
// move and delete calls, so paths keep every character whatever the
// system's ANSI code page is.
#include <windows.h>

#include "platform/files.h"
#include "platform/handle_win32.h"
#include "platform/text_win32.h"

namespace platform {
namespace {

std::string error_text(const std::string& what, DWORD code) {
  wchar_t* message = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0,
                 nullptr);
  std::string text = what + ": ";
  if (message != nullptr) {
    text += to_utf8(message);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                             text.back() == ' ')) {
      text.pop_back();
    }
  }
  return text + " (" + std::to_string(code) + ")";
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The system deletes the lock file when its handle closes, also when the
// process is killed, so no run leaves a skin locked.
class HandleHold final : public HeldLock {
 public:
  explicit HandleHold(HANDLE handle) : handle_(handle) {}

 private:
  ScopedHandle handle_;
};

}  // namespace

void SystemFiles::list_subfolders(const std::string& folder,
                                  std::vector<std::string>& out) {
  WIN32_FIND_DATAW entry{};
  FindHandle search(FindFirstFileW(to_utf16(folder + "\\*").c_str(), &entry));
  if (!search.valid()) return;
  do {
    const std::wstring name = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    if (name == L"." || name == L"..") continue;
    out.push_back(folder + "\\" + to_utf8(name));
  } while (FindNextFileW(search.get(), &entry));
}

bool SystemFiles::last_write_time(const std::string& folder, LocalTime& time,
                                  SystemFailure& failure) {
  // Backup semantics is what lets CreateFileW open a directory. The name in
  // the error box stays the one users and their searches know.
  ScopedHandle handle(CreateFileW(to_utf16(folder).c_str(), GENERIC_READ,
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

PathKind SystemFiles::path_kind(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_utf16(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::other;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::other;
  return PathKind::file;
}

bool SystemFiles::read_file(const std::string& path,
                            std::vector<unsigned char>& bytes,
                            std::string& error) {
  bytes.clear();
  ScopedHandle file(CreateFileW(
      to_utf16(path).c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
    error = error_text(path, GetLastError());
    return false;
  }
  try {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    error = error_text(path, ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
      error = error_text(path, GetLastError());
      return false;
    }
    if (got == 0) break;  // the file shrank while it was read
    done += got;
  }
  bytes.resize(done);
  return true;
}

bool SystemFiles::write_new_file(const std::string& path,
                                 const unsigned char* data, std::size_t size,
                                 std::string& error) {
  const std::wstring wide = to_utf16(path);
  bool written = false;
  DWORD code = 0;
  {
    ScopedHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr,
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
    DeleteFileW(wide.c_str());
    error = error_text(path, code);
  }
  return written;
}

bool SystemFiles::replace_file(const std::string& from, const std::string& to,
                               std::string& error) {
  // Windows refuses to move over a read-only file and Wine does not; asking
  // first gives every system the same honest refusal.
  const DWORD attributes = GetFileAttributesW(to_utf16(to).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = error_text(to, ERROR_ACCESS_DENIED) + "，文件是只读的";
    return false;
  }
  if (!MoveFileExW(to_utf16(from).c_str(), to_utf16(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = error_text(to, GetLastError());
    return false;
  }
  return true;
}

MoveOutcome SystemFiles::move_if_absent(const std::string& from,
                                        const std::string& to,
                                        std::string& error) {
  if (MoveFileExW(to_utf16(from).c_str(), to_utf16(to).c_str(),
                  MOVEFILE_WRITE_THROUGH)) {
    return MoveOutcome::moved;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
    return MoveOutcome::target_exists;
  }
  error = error_text(to, code);
  return MoveOutcome::failed;
}

bool SystemFiles::remove_file(const std::string& path) {
  return DeleteFileW(to_utf16(path).c_str()) != 0;
}

LockOutcome SystemFiles::lock_file(const std::string& path,
                                   std::unique_ptr<HeldLock>& lock,
                                   std::string& error) {
  const HANDLE handle = CreateFileW(
      to_utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // A lock file that its holder is just deleting refuses access instead.
    if (code == ERROR_SHARING_VIOLATION ||
        (code == ERROR_ACCESS_DENIED &&
         GetFileAttributesW(to_utf16(path).c_str()) !=
             INVALID_FILE_ATTRIBUTES)) {
      return LockOutcome::busy;
    }
    error = error_text(path, code);
    return LockOutcome::failed;
  }
  lock = std::make_unique<HandleHold>(handle);
  return LockOutcome::locked;
}

}  // namespace platform
