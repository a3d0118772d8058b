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

  // Stores the whole file in `bytes` and returns true; on failure returns
  // false with `error` naming the file and the cause.
  virtual bool read_file(const std::string& path,
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
  // Removes a file (never a folder); false when nothing was removed.
  virtual bool remove_file(const std::string& path) = 0;

  // Takes the lock file at `path` for this process alone, creating it when
  // missing, and stores the hold in `lock`. `busy` when another process holds
  // it; `failed` (with `error`) when it cannot be taken at all.
  virtual LockOutcome lock_file(const std::string& path,
                                std::unique_ptr<HeldLock>& lock,
                                std::string& error) = 0;
};

// The files of this system.
class SystemFiles final : public Files {
 public:
  void list_subfolders(const std::string& folder,
                       std::vector<std::string>& out) override;
  bool last_write_time(const std::string& folder, LocalTime& time,
                       SystemFailure& failure) override;
  PathKind path_kind(const std::string& path) override;
  bool read_file(const std::string& path, std::vector<unsigned char>& bytes,
                 std::string& error) override;
  bool write_new_file(const std::string& path, const unsigned char* data,
                      std::size_t size, std::string& error) override;
  bool replace_file(const std::string& from, const std::string& to,
                    std::string& error) override;
  MoveOutcome move_if_absent(const std::string& from, const std::string& to,
                             std::string& error) override;
  bool remove_file(const std::string& path) override;
  LockOutcome lock_file(const std::string& path,
                        std::unique_ptr<HeldLock>& lock,
                        std::string& error) override;
};

}  // namespace platform
