// Host processes: /proc stands in for the Toolhelp snapshot, and its exe
// links give full paths that need no drive mapping.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "platform/processes.h"

namespace platform {
namespace {

bool read_exe_link(unsigned long id, std::string& target) {
  const std::string link = "/proc/" + std::to_string(id) + "/exe";
  char buffer[4096];
  const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || n == static_cast<ssize_t>(sizeof buffer)) return false;
  target.assign(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

bool SystemProcesses::snapshot(std::vector<ProcessEntry>& out) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  std::vector<unsigned long> ids;
  while (const dirent* entry = readdir(proc)) {
    const std::string name = entry->d_name;
    if (!name.empty() &&
        std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      ids.push_back(std::stoul(name));
    }
  }
  closedir(proc);
  std::sort(ids.begin(), ids.end());
  for (unsigned long id : ids) {
    std::string exe;
    if (!read_exe_link(id, exe)) continue;  // kernel threads, other users
    out.push_back({id, exe.substr(exe.rfind('/') + 1)});
  }
  return true;
}

bool SystemProcesses::image_name(unsigned long id, ImageName& out) {
  std::string exe;
  if (!read_exe_link(id, exe)) return false;
  out = {exe, false};
  return true;
}

bool SystemProcesses::drive_entries(std::vector<std::string>&) {
  return false;
}

bool SystemProcesses::device_target(const std::string&, std::string&) {
  return false;
}

TerminateOutcome SystemProcesses::terminate(unsigned long id) {
  // kill() takes 0 and negative ids for whole process groups, ours included.
  if (id == 0 || id > static_cast<unsigned long>(
                          std::numeric_limits<pid_t>::max())) {
    return TerminateOutcome::not_opened;
  }
  return kill(static_cast<pid_t>(id), SIGKILL) == 0
             ? TerminateOutcome::requested
             : TerminateOutcome::not_opened;
}

void end_process(unsigned code) {
  std::cout.flush();
  std::exit(static_cast<int>(code));
}

}  // namespace platform
