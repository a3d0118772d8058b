// Processes: finding the running client, its executable path, ending it;
// and ending this program early. Names and paths are UTF-8.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  unsigned long id = 0;
  std::string exe_name;  // executable file name only, no folder
};

// How the system names a process's executable.
struct ImageName {
  std::string path;
  // True when `path` starts with a volume's device name rather than a drive
  // and must be mapped to a drive before it can be used.
  bool device_form = false;
};

enum class TerminateOutcome { not_opened, requested };

class Processes {
 public:
  virtual ~Processes() = default;
  // Stores every running process in the system's order and returns true;
  // returns false when no snapshot could be taken.
  virtual bool snapshot(std::vector<ProcessEntry>& out) = 0;
  // Stores the process's executable path and returns true; false when the
  // process cannot be opened or its name cannot be read.
  virtual bool image_name(unsigned long id, ImageName& out) = 0;
  // Stores the logical drive entries ("C:\" style) in the system's order and
  // returns true; false when the list cannot be read.
  virtual bool drive_entries(std::vector<std::string>& out) = 0;
  // Stores the device name that `drive` ("C:") stands for and returns true;
  // false when it cannot be read.
  virtual bool device_target(const std::string& drive,
                             std::string& target) = 0;
  // Asks the system to end the process with exit code 0. `not_opened` when
  // the process could not be opened for that; the request's own outcome is
  // not reported.
  virtual TerminateOutcome terminate(unsigned long id) = 0;
};

class SystemProcesses final : public Processes {
 public:
  bool snapshot(std::vector<ProcessEntry>& out) override;
  bool image_name(unsigned long id, ImageName& out) override;
  bool drive_entries(std::vector<std::string>& out) override;
  bool device_target(const std::string& drive, std::string& target) override;
  TerminateOutcome terminate(unsigned long id) override;
};

// Ends this program at once with `code`; nothing after it runs.
[[noreturn]] void end_process(unsigned code);

}  // namespace platform
