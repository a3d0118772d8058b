// The client is known only by its executable name, and the system reports
// its path by volume device; both are matched here without the OS.
#include "client/client_locator.h"

namespace client {
namespace {

const std::wstring kClientName = L"QQ.exe";
const std::wstring kLauncherName = L"QQScLauncher.exe";

// Device names are ASCII; folding other letters the way the system's locale
// would could make two distinct volumes look alike.
wchar_t fold_ascii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool starts_with_ignoring_ascii_case(const std::wstring& text,
                                     const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (fold_ascii(text[i]) != fold_ascii(prefix[i])) return false;
  }
  return true;
}

// Drives A and B are floppy drives, never where the client is installed;
// they are not looked up at all.
bool is_floppy_entry(const std::wstring& entry) {
  return entry.size() == 3 &&
         (starts_with_ignoring_ascii_case(entry, L"A:\\") ||
          starts_with_ignoring_ascii_case(entry, L"B:\\"));
}

// True when `target` is the whole leading component of `path`: a target that
// is only a prefix of a longer device name ("...Volume1" of "...Volume10")
// names another volume.
bool is_on_device(const std::wstring& path, const std::wstring& target) {
  return !target.empty() && path.size() > target.size() &&
         path[target.size()] == L'\\' &&
         starts_with_ignoring_ascii_case(path, target);
}

}  // namespace

const platform::ProcessEntry* find_client_process(
    const std::vector<platform::ProcessEntry>& processes) {
  for (const platform::ProcessEntry& entry : processes) {
    if (entry.exe_name == kClientName) return &entry;
  }
  return nullptr;
}

platform::ImageName to_drive_form(const std::wstring& device_path,
                                  const std::vector<std::wstring>& drives,
                                  const DeviceLookup& lookup) {
  for (const std::wstring& entry : drives) {
    if (entry.size() < 2 || is_floppy_entry(entry)) continue;
    const std::wstring drive = entry.substr(0, 2);
    std::wstring target;
    if (!lookup(drive, target)) continue;
    if (is_on_device(device_path, target)) {
      return {drive + device_path.substr(target.size()), false};
    }
  }
  return {device_path, true};
}

bool launcher_path(const std::wstring& client_path, std::wstring& launcher) {
  const std::size_t at = client_path.rfind(kClientName);
  if (at == std::wstring::npos) return false;
  launcher = client_path;
  launcher.replace(at, kClientName.size(), kLauncherName);
  return true;
}

}  // namespace client
