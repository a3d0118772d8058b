// Files and folders: subfolder listing and folder times for choosing a skin,
// and the few checked file operations that rewriting an image relies on.
#pragma once

#include <cstddef>
#include <cstdint>
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

class FolderReader {
 public:
  virtual ~FolderReader() = default;
  // Appends `folder` + separator + name for every direct subfolder, in the
  // order the system lists them, never "." or "..". Adds nothing when the
  // folder cannot be searched.
  virtual void list_subfolders(const std::string& folder,
                               std::vector<std::string>& out) = 0;
  // On success stores the folder's last-write time in local time and returns
  // true; on failure fills `failure` and returns false.
  virtual bool last_write_time(const std::string& folder, LocalTime& time,
                               SystemFailure& failure) = 0;
};

class SystemFolderReader final : public FolderReader {
 public:
  void list_subfolders(const std::string& folder,
                       std::vector<std::string>& out) override;
  bool last_write_time(const std::string& folder, LocalTime& time,
                       SystemFailure& failure) override;
};

// True when something (file, folder, anything) exists at `path`.
bool path_exists(const std::string& path);

enum class CopyOutcome { copied, target_exists, failed };

// Copies `from` to `to` only when nothing exists at `to`; an existing `to`
// is never touched. The copy is flushed to disk before `copied` is returned.
// On `failed` a partial target is removed and `error` describes the cause.
CopyOutcome copy_file_if_absent(const std::string& from, const std::string& to,
                                std::string& error);

// Writes `size` bytes to a new file at `path` (failing if anything exists
// there) and flushes it to disk. On failure removes what was written and
// describes the cause in `error`.
bool write_new_file(const std::string& path, const unsigned char* data,
                    std::size_t size, std::string& error);

// Moves `from` over `to` in one step, replacing `to`. On failure both stay as
// they were and `error` describes the cause.
bool replace_file(const std::string& from, const std::string& to,
                  std::string& error);

// Removes a file; returns false when it could not be removed.
bool remove_file(const std::string& path);

}  // namespace platform
