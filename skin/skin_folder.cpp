// Skin folder choice. When several custom skins exist, the one the client
// wrote last is the one in use.
#include "skin/skin_folder.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/processes.h"

namespace skin {
namespace {

struct SkinFolderEntry {
  std::string path;
  platform::LocalTime last_write;
};

std::uint16_t month_key(const platform::LocalTime& t) {
  return static_cast<std::uint16_t>(t.year * 12u + t.month);
}

std::uint32_t time_key(const platform::LocalTime& t) {
  std::uint32_t key = t.day;
  key = key * 24u + t.hour;
  key = key * 60u + t.minute;
  key = key * 60u + t.second;
  return key * 1000u + t.milliseconds;
}

[[noreturn]] void fail_fatally(platform::Dialogs& dialogs,
                               const platform::SystemFailure& failure) {
  char text[80];
  std::snprintf(text, sizeof text, "%s failed: GetLastError returned %u\n",
                failure.call.c_str(), failure.code);
  dialogs.show_notice("Error", text);
  platform::end_process(failure.code);
}

}  // namespace

bool is_earlier(const platform::LocalTime& a, const platform::LocalTime& b) {
  if (month_key(a) != month_key(b)) return month_key(a) < month_key(b);
  return time_key(a) < time_key(b);
}

std::string select_skin_folder(const std::string& root,
                               platform::FolderReader& folders,
                               platform::Dialogs& dialogs) {
  // An empty root would make the search start at the drive root, where a
  // folder holding some unrelated main.png could be taken for a skin.
  if (root.empty()) return {};

  std::vector<std::string> paths;
  folders.list_subfolders(root, paths);
  if (paths.empty()) return {};
  if (paths.size() == 1) return paths.front();

  std::vector<SkinFolderEntry> entries;
  entries.reserve(paths.size());
  for (const std::string& path : paths) {
    SkinFolderEntry entry{path, {}};
    platform::SystemFailure failure;
    if (!folders.last_write_time(path, entry.last_write, failure)) {
      fail_fatally(dialogs, failure);
    }
    entries.push_back(std::move(entry));
  }

  const SkinFolderEntry* latest = &entries.front();
  for (const SkinFolderEntry& entry : entries) {
    if (is_earlier(latest->last_write, entry.last_write)) latest = &entry;
  }
  return latest->path;
}

}  // namespace skin
