// Host files: POSIX directory search and stat times, and file writes that
// are flushed to disk before anyone relies on them.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "platform/files.h"
#include "platform/paths.h"

namespace platform {
namespace {

std::string errno_text(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now so a failing close (a late write error) can be reported.
  bool close_checked() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool write_all(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes a rename or a new name in `path`'s folder survive a power cut.
void sync_parent_folder(const std::string& path) {
  const std::string folder = folder_of(path);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

// flock() is dropped by the kernel when the process dies, so a killed run
// never leaves the skin locked.
class FolderHold final : public HeldLock {
 public:
  explicit FolderHold(int fd) : fd_(fd) {}
  ~FolderHold() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

void prepare_file_writes() { signal(SIGXFSZ, SIG_IGN); }

void SystemFiles::list_subfolders(const std::string& folder,
                                  std::vector<std::string>& out) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = join_path(folder, name);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      out.push_back(path);
    }
  }
  closedir(dir);
}

bool SystemFiles::last_write_time(const std::string& folder, LocalTime& time,
                                  SystemFailure& failure) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) {
    failure = {"stat()", static_cast<unsigned>(errno)};
    return false;
  }
  std::tm local{};
  const std::time_t seconds = info.st_mtim.tv_sec;
  localtime_r(&seconds, &local);
  time.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  time.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  time.day_of_week = static_cast<std::uint16_t>(local.tm_wday);
  time.day = static_cast<std::uint16_t>(local.tm_mday);
  time.hour = static_cast<std::uint16_t>(local.tm_hour);
  time.minute = static_cast<std::uint16_t>(local.tm_min);
  time.second = static_cast<std::uint16_t>(local.tm_sec);
  time.milliseconds = static_cast<std::uint16_t>(info.st_mtim.tv_nsec / 1000000);
  return true;
}

PathKind SystemFiles::path_kind(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return PathKind::missing;
  if (S_ISREG(info.st_mode)) return PathKind::file;
  if (S_ISDIR(info.st_mode)) return PathKind::folder;
  return PathKind::other;
}

ReadOutcome SystemFiles::read_file(const std::string& path,
                                   std::size_t max_size,
                                   std::vector<unsigned char>& bytes,
                                   std::string& error) {
  bytes.clear();
  // Non-blocking, so a pipe or a device under the name cannot hold the run
  // at open(); fstat() turns it away before anything is read.
  Fd in(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0 || fstat(in.get(), &info) != 0) {
    const int code = errno;
    error = errno_text(path, code);
    return code == ENOENT || code == ENOTDIR ? ReadOutcome::missing
                                             : ReadOutcome::failed;
  }
  if (S_ISDIR(info.st_mode)) {
    error = errno_text(path, EISDIR);
    return ReadOutcome::failed;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + ": 不是普通文件(管道或设备)";
    return ReadOutcome::failed;
  }
  if (static_cast<unsigned long long>(info.st_size) > max_size) {
    error = errno_text(path, EFBIG);
    return ReadOutcome::too_large;
  }
  try {
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    unsigned char buffer[1 << 16];
    for (;;) {
      const ssize_t n = read(in.get(), buffer, sizeof buffer);
      if (n == 0) return ReadOutcome::read;
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno_text(path, errno);
        break;
      }
      // A file that grows while it is read stays within the limit too.
      if (bytes.size() + static_cast<std::size_t>(n) > max_size) {
        bytes.clear();
        error = errno_text(path, EFBIG);
        return ReadOutcome::too_large;
      }
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
  } catch (const std::bad_alloc&) {
    error = errno_text(path, ENOMEM);
  }
  bytes.clear();
  return ReadOutcome::failed;
}

bool SystemFiles::write_new_file(const std::string& path,
                                 const unsigned char* data, std::size_t size,
                                 std::string& error) {
  Fd out(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    error = errno_text(path, errno);
    return false;
  }
  if (!write_all(out.get(), data, size) || fsync(out.get()) != 0 ||
      !out.close_checked()) {
    error = errno_text(path, errno);
    unlink(path.c_str());
    return false;
  }
  sync_parent_folder(path);
  return true;
}

bool SystemFiles::replace_file(const std::string& from, const std::string& to,
                               std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = errno_text(to, errno);
    return false;
  }
  sync_parent_folder(to);
  return true;
}

MoveOutcome SystemFiles::move_if_absent(const std::string& from,
                                        const std::string& to,
                                        std::string& error) {
  int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                         RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // File systems without RENAME_NOREPLACE: a hard link is just as exclusive.
    result = link(from.c_str(), to.c_str());
    if (result == 0) unlink(from.c_str());
  }
  if (result != 0) {
    if (errno == EEXIST) return MoveOutcome::target_exists;
    error = errno_text(to, errno);
    return MoveOutcome::failed;
  }
  sync_parent_folder(to);
  return MoveOutcome::moved;
}

bool SystemFiles::remove_file(const std::string& path) {
  // unlink() never follows a link; lstat() keeps links and folders out.
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         unlink(path.c_str()) == 0;
}

LockOutcome SystemFiles::lock_folder(const std::string& folder,
                                     std::unique_ptr<HeldLock>& lock,
                                     std::string& error) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = errno_text(folder, errno);
    return LockOutcome::failed;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    close(fd);
    if (code == EWOULDBLOCK) return LockOutcome::busy;
    error = errno_text(folder, code);
    return LockOutcome::failed;
  }
  lock = std::make_unique<FolderHold>(fd);
  return LockOutcome::locked;
}

}  // namespace platform
