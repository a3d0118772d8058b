// Windows files: wide directory search, folder times, and the Win32 create,
// move and delete calls, so paths keep every character whatever the
// system's ANSI code page is.
#include <windows.h>

#include <cwchar>
#include <vector>

#include "platform/files.h"
#include "platform/handle_win32.h"
#include "platform/paths.h"
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

// The system abandons a mutex whose holder dies, so a killed run never leaves
// the skin locked; the next run takes the abandoned mutex over.
class MutexHold final : public HeldLock {
 public:
  explicit MutexHold(HANDLE mutex) : mutex_(mutex) {}
  ~MutexHold() override { ReleaseMutex(mutex_.get()); }

 private:
  ScopedHandle mutex_;
};

// Kernel object names allow no backslash and only so many characters, so the
// folder's full path, folded to one case, goes in as a hash.
std::wstring mutex_name_for(const std::wstring& folder) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(folder.c_str(),
                                     static_cast<DWORD>(full.size()),
                                     &full[0], nullptr);
    if (n == 0) return L"";
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n);
  }
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
  unsigned long long hash = 14695981039346656037ull;  // FNV-1a
  for (const wchar_t unit : full) {
    hash = (hash ^ static_cast<unsigned short>(unit)) * 1099511628211ull;
  }
  wchar_t name[48];
  swprintf(name, 48, L"Local\\skinalpha-%016llx", hash);
  return name;
}

// The handle's own view of its name within the volume.
bool name_of(HANDLE handle, std::wstring& name) {
  std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 65536);
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                    static_cast<DWORD>(buffer.size()))) {
    return false;
  }
  name.assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
  return true;
}

// True when `file` is the entry named `path` itself. Wine opens a Unix link
// in the prefix as its target and shows it as a plain file; only the name the
// opened file reports then differs from its folder's name plus its own.
bool opened_as_named(HANDLE file, const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  ScopedHandle folder(CreateFileW(
      path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash).c_str(),
      FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION folder_id{};
  BY_HANDLE_FILE_INFORMATION file_id{};
  std::wstring folder_name;
  std::wstring file_name;
  if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &folder_id) ||
      !GetFileInformationByHandle(file, &file_id) ||
      !name_of(folder.get(), folder_name) || !name_of(file, file_name)) {
    return false;
  }
  if (folder_name.empty() || folder_name.back() != L'\\') folder_name += L'\\';
  const std::wstring expected = folder_name + path.substr(slash + 1);
  return folder_id.dwVolumeSerialNumber == file_id.dwVolumeSerialNumber &&
         CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()),
                              file_name.c_str(), static_cast<int>(file_name.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace

void prepare_file_writes() {}

void SystemFiles::list_subfolders(const std::string& folder,
                                  std::vector<std::string>& out) {
  WIN32_FIND_DATAW entry{};
  FindHandle search(FindFirstFileW(to_utf16(join_path(folder, "*")).c_str(), &entry));
  if (!search.valid()) return;
  do {
    const std::wstring name = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    if (name == L"." || name == L"..") continue;
    out.push_back(join_path(folder, to_utf8(name)));
  } while (FindNextFileW(search.get(), &entry));
}

bool SystemFiles::last_write_time(const std::string& folder, LocalTime& time,
                                  SystemFailure& failure) {
  // Backup semantics is what lets CreateFileW open a directory.
  ScopedHandle handle(CreateFileW(to_utf16(folder).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
  if (!handle.valid()) {
    // Named CreateFileA() on purpose: the box keeps the text users know and search for.
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

ReadOutcome SystemFiles::read_file(const std::string& path,
                                   std::size_t max_size,
                                   std::vector<unsigned char>& bytes,
                                   std::string& error) {
  bytes.clear();
  ScopedHandle file(CreateFileW(
      to_utf16(path).c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD code = GetLastError();
    error = error_text(path, code);
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return ReadOutcome::missing;
    }
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
               ? ReadOutcome::in_use
               : ReadOutcome::failed;
  }
  // A pipe or a device would make ReadFile wait or never end.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    error = error_text(path, ERROR_BAD_FILE_TYPE);
    return ReadOutcome::failed;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    error = error_text(path, GetLastError());
    return ReadOutcome::failed;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > max_size) {
    error = error_text(path, ERROR_FILE_TOO_LARGE);
    return ReadOutcome::too_large;
  }
  try {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    error = error_text(path, ERROR_NOT_ENOUGH_MEMORY);
    return ReadOutcome::failed;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
      // A byte range another program has locked.
      const DWORD code = GetLastError();
      error = error_text(path, code);
      bytes.clear();
      return code == ERROR_LOCK_VIOLATION ? ReadOutcome::in_use
                                          : ReadOutcome::failed;
    }
    if (got == 0) break;  // the file shrank while it was read
    done += got;
  }
  bytes.resize(done);
  return ReadOutcome::read;
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
    remove_file(path);
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
  // Opened without following a link, and deleted through that same handle,
  // so what is checked is what goes.
  const std::wstring wide = to_utf16(path);
  ScopedHandle file(CreateFileW(
      wide.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
      nullptr));
  FILE_BASIC_INFO basic{};
  if (!file.valid() ||
      !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic,
                                    sizeof basic) ||
      (basic.FileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
        FILE_ATTRIBUTE_DEVICE)) != 0 ||
      !opened_as_named(file.get(), wide)) {
    return false;
  }
  // Windows refuses to delete a read-only file, so a leftover of ours would
  // stay forever; it loses the bit first.
  if (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO writable = basic;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(file.get(), FileBasicInfo, &writable,
                                    sizeof writable)) {
      return false;
    }
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose,
                                 sizeof dispose)) {
    return true;
  }
  if (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) {
    SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  return false;
}

LockOutcome SystemFiles::lock_folder(const std::string& folder,
                                     std::unique_ptr<HeldLock>& lock,
                                     std::string& error) {
  const std::wstring wide = to_utf16(folder);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = error_text(folder, attributes == INVALID_FILE_ATTRIBUTES
                                   ? GetLastError()
                                   : ERROR_DIRECTORY);
    return LockOutcome::failed;
  }
  const std::wstring name = mutex_name_for(wide);
  if (name.empty()) {
    error = error_text(folder, GetLastError());
    return LockOutcome::failed;
  }
  ScopedHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex.valid()) {
    error = error_text(folder, GetLastError());
    return LockOutcome::failed;
  }
  switch (WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder died: the skin is free
      lock = std::make_unique<MutexHold>(mutex.release());
      return LockOutcome::locked;
    case WAIT_TIMEOUT:
      return LockOutcome::busy;
    default:
      error = error_text(folder, GetLastError());
      return LockOutcome::failed;
  }
}

}  // namespace platform
