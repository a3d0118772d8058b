// Write beside, then move over: the move is the only step that touches the
// user's file, and it either happens whole or not at all.
#include "image/safe_replace.h"

namespace image {

std::string temporary_path_for(const std::string& path) {
  return path + ".tmp";
}

std::vector<std::string> temporary_paths_for(const std::string& path) {
  const std::string first = temporary_path_for(path);
  return {first, first + "1", first + "2", first + "3"};
}

std::string free_temporary_path(platform::Files& files,
                                const std::string& path) {
  const std::vector<std::string> names = temporary_paths_for(path);
  for (const std::string& name : names) {
    if (files.path_kind(name) == platform::PathKind::missing) return name;
  }
  return names.front();
}

bool replace_contents(platform::Files& files, const std::string& path,
                      const unsigned char* data, std::size_t size,
                      std::string& error) {
  const std::string temporary = free_temporary_path(files, path);
  if (!files.write_new_file(temporary, data, size, error)) return false;
  if (!files.replace_file(temporary, path, error)) {
    files.remove_file(temporary);
    return false;
  }
  return true;
}

}  // namespace image
