// The client is known only by its executable name, and the system reports
// its path by volume device; both are matched here without the OS.
#include "client/client_locator.h"

#include "platform/ascii_case.h"

namespace client {
namespace {

const std::string kClientName = "QQ.exe";
const std::string kLauncherName = "QQScLauncher.exe";

// Drives A and B are floppy drives, never where the client is installed;
// they are not looked up at all.
bool is_floppy_entry(const std::string& entry) {
  return entry.size() == 3 &&
         (platform::starts_with_ignoring_ascii_case(entry, "A:\\") ||
          platform::starts_with_ignoring_ascii_case(entry, "B:\\"));
}

// True when `target` is the whole leading component of `path`: a target that
// is only a prefix of a longer device name ("...Volume1" of "...Volume10")
// names another volume.
bool is_on_device(const std::string& path, const std::string& target) {
  return !target.empty() && path.size() > target.size() &&
         path[target.size()] == '\\' &&
         platform::starts_with_ignoring_ascii_case(path, target);
}

}  // namespace

const platform::ProcessEntry* find_client_process(
    const std::vector<platform::ProcessEntry>& processes) {
  for (const platform::ProcessEntry& entry : processes) {
    if (entry.exe_name == kClientName) return &entry;
  }
  return nullptr;
}

platform::ImageName to_drive_form(const std::string& device_path,
                                  const std::vector<std::string>& drives,
                                  const DeviceLookup& lookup) {
  for (const std::string& entry : drives) {
    if (entry.size() < 2 || is_floppy_entry(entry)) continue;
    const std::string drive = entry.substr(0, 2);
    std::string target;
    if (!lookup(drive, target)) continue;
    if (is_on_device(device_path, target)) {
      return {drive + device_path.substr(target.size()), false};
    }
  }
  return {device_path, true};
}

bool launcher_path(const std::string& client_path, std::string& launcher) {
  const std::size_t at = client_path.rfind(kClientName);
  if (at == std::string::npos) return false;
  launcher = client_path;
  launcher.replace(at, kClientName.size(), kLauncherName);
  return true;
}

}  // namespace client
