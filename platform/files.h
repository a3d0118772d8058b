// Files and folders: listing and folder times for choosing a skin, and the
// few checked operations that keeping and rewriting an image rely on.
// Paths are UTF-8; every operation keeps every character of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A point in local time, field by field as the system reports it.
struct LocalTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  // Filled in but read by nothing: the struct copies the system's time whole.
  std::uint16_t day_of_week = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

// Which system call failed and the error code it left.
struct SystemFailure {
  std::string call;
  unsigned code = 0;
};

// What stands at a path; links are not followed, so a link is `other`.
enum class PathKind { missing, file, folder, other };

enum class MoveOutcome { moved, target_exists, failed };

enum class LockOutcome { locked, busy, failed };

enum class ReadOutcome {
  read,
  missing,    // nothing at the path, or a folder on it is missing
  in_use,     // another program holds the file open without sharing it
  too_large,  // longer than the caller's limit; nothing was read
  failed,     // not a regular file, or the system refused
};

// Held while it lives; the system lets go of it when the process ends, however
// it ends.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

class Files {
 public:
  virtual ~Files() = default;

  // Appends `folder` + separator + name for every direct subfolder, in the
  // order the system lists them, never "." or "..". Adds nothing when the
  // folder cannot be searched.
  virtual void list_subfolders(const std::string& folder,
                               std::vector<std::string>& out) = 0;
  // On success stores the folder's last-write time in local time and returns
  // true; on failure fills `failure` and returns false.
  virtual bool last_write_time(const std::string& folder, LocalTime& time,
                               SystemFailure& failure) = 0;

  virtual PathKind path_kind(const std::string& path) = 0;

  // Stores the whole of a regular file no longer than `max_size` bytes in
  // `bytes` and returns `read`. Checks the size before reading and never
  // waits on a device or a pipe. Otherwise leaves `bytes` empty and sets
  // `error` to the file and the cause.
  virtual ReadOutcome read_file(const std::string& path, std::size_t max_size,
                                std::vector<unsigned char>& bytes,
                                std::string& error) = 0;
  // Writes `size` bytes to a new file at `path` (failing if anything exists
  // there) and flushes it to disk. On failure removes what it wrote and
  // describes the cause in `error`.
  virtual bool write_new_file(const std::string& path,
                              const unsigned char* data, std::size_t size,
                              std::string& error) = 0;
  // Moves `from` over `to` in one step, replacing `to`. On failure both stay
  // as they were and `error` describes the cause.
  virtual bool replace_file(const std::string& from, const std::string& to,
                            std::string& error) = 0;
  // Gives `from` the name `to` in one step, only when nothing stands at `to`;
  // then `target_exists` and both stay as they were. `failed` sets `error`.
  virtual MoveOutcome move_if_absent(const std::string& from,
                                     const std::string& to,
                                     std::string& error) = 0;
  // Removes `path` only when it is proven a plain file, read-only or not;
  // never a folder, a link or what a link leads to. False when nothing was
  // removed.
  virtual bool remove_file(const std::string& path) = 0;

  // Takes the lock of `folder` for this process alone and stores the hold in
  // `lock`. Nothing in the folder takes part, so no file there can fake or
  // block it. `busy` when another process holds it; `failed` (with `error`)
  // when it cannot be taken at all, such as for a missing folder.
  virtual LockOutcome lock_folder(const std::string& folder,
                                  std::unique_ptr<HeldLock>& lock,
                                  std::string& error) = 0;
};

// Called once at start-up, before any file is written. On the host a file
// larger than the process may write then fails that write, which the run
// reports, rather than raising a signal that kills it with a half-written
// file left over. Windows has no such limit: nothing to do there.
void prepare_file_writes();

// The files of this system.
class SystemFiles final : public Files {
 public:
  void list_subfolders(const std::string& folder,
                       std::vector<std::string>& out) override;
  bool last_write_time(const std::string& folder, LocalTime& time,
                       SystemFailure& failure) override;
  PathKind path_kind(const std::string& path) override;
  ReadOutcome read_file(const std::string& path, std::size_t max_size,
                        std::vector<unsigned char>& bytes,
                        std::string& error) override;
  bool write_new_file(const std::string& path, const unsigned char* data,
                      std::size_t size, std::string& error) override;
  bool replace_file(const std::string& from, const std::string& to,
                    std::string& error) override;
  MoveOutcome move_if_absent(const std::string& from, const std::string& to,
                             std::string& error) override;
  bool remove_file(const std::string& path) override;
  LockOutcome lock_folder(const std::string& folder,
                          std::unique_ptr<HeldLock>& lock,
                          std::string& error) override;
};

}  // namespace platform
