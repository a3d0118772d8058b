// Host files: POSIX directory search and stat times, and file writes that
// are flushed to disk before anyone relies on them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "platform/files.h"

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

bool write_all(int fd, const char* data, std::size_t size) {
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
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

// Creates `path` exclusively, lets `fill` write it, then syncs and closes.
// On any failure removes the new file and returns false with `error` set.
template <typename Fill>
bool create_exclusively(const std::string& path, bool& existed,
                        std::string& error, Fill fill) {
  // A file-size limit must end in a failed write we can report, not in the
  // signal that would kill the program with a half-written file left over.
  static const bool size_signal_ignored = (signal(SIGXFSZ, SIG_IGN), true);
  (void)size_signal_ignored;
  existed = false;
  Fd out(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    existed = errno == EEXIST;
    error = errno_text(path, errno);
    return false;
  }
  if (!fill(out.get()) || fsync(out.get()) != 0 || !out.close_checked()) {
    error = errno_text(path, errno);
    unlink(path.c_str());
    return false;
  }
  sync_parent_folder(path);
  return true;
}

}  // namespace

void SystemFolderReader::list_subfolders(const std::string& folder,
                                         std::vector<std::string>& out) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      out.push_back(path);
    }
  }
  closedir(dir);
}

bool SystemFolderReader::last_write_time(const std::string& folder,
                                         LocalTime& time,
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

bool path_exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

CopyOutcome copy_file_if_absent(const std::string& from, const std::string& to,
                                std::string& error) {
  if (path_exists(to)) return CopyOutcome::target_exists;
  Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    error = errno_text(from, errno);
    return CopyOutcome::failed;
  }
  bool existed = false;
  std::string read_error;
  const bool copied = create_exclusively(to, existed, error, [&](int out) {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = read(in.get(), buffer, sizeof buffer);
      if (n == 0) return true;
      if (n < 0) {
        if (errno == EINTR) continue;
        read_error = errno_text(from, errno);
        return false;
      }
      if (!write_all(out, buffer, static_cast<std::size_t>(n))) return false;
    }
  });
  if (copied) return CopyOutcome::copied;
  if (existed) return CopyOutcome::target_exists;
  if (!read_error.empty()) error = read_error;
  return CopyOutcome::failed;
}

bool write_new_file(const std::string& path, const unsigned char* data,
                    std::size_t size, std::string& error) {
  bool existed = false;
  return create_exclusively(path, existed, error, [&](int out) {
    return write_all(out, reinterpret_cast<const char*>(data), size);
  });
}

bool replace_file(const std::string& from, const std::string& to,
                  std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = errno_text(to, errno);
    return false;
  }
  sync_parent_folder(to);
  return true;
}

bool remove_file(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace platform
