// Skin folder choice. When several custom skins exist, the one the client
// wrote last is the one in use.
#include "skin/skin_folder.h"

#include <cstdint>
#include <vector>

namespace skin {
namespace {

struct SkinFolderEntry {
  std::string path;
  platform::LocalTime last_write;
};

}  // namespace

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

bool is_earlier(const platform::LocalTime& a, const platform::LocalTime& b) {
  if (month_key(a) != month_key(b)) return month_key(a) < month_key(b);
  return time_key(a) < time_key(b);
}

bool select_skin_folder(const std::string& root, platform::Files& files,
                        std::string& folder, platform::SystemFailure& failure) {
  folder.clear();
  // An empty root would make the search start at the drive root, where a
  // folder holding some unrelated main.png could be taken for a skin.
  if (root.empty()) return true;

  std::vector<std::string> paths;
  files.list_subfolders(root, paths);
  if (paths.empty()) return true;
  if (paths.size() == 1) {
    folder = paths.front();
    return true;
  }

  std::vector<SkinFolderEntry> entries;
  entries.reserve(paths.size());
  for (const std::string& path : paths) {
    SkinFolderEntry entry{path, {}};
    if (!files.last_write_time(path, entry.last_write, failure)) return false;
    entries.push_back(std::move(entry));
  }

  const SkinFolderEntry* latest = &entries.front();
  for (const SkinFolderEntry& entry : entries) {
    if (is_earlier(latest->last_write, entry.last_write)) latest = &entry;
  }
  folder = latest->path;
  return true;
}

}  // namespace skin
