// Path helpers common to both systems; only the separator differs.
#include "platform/paths.h"

namespace platform {

bool is_path_separator(char c) { return c == '/' || c == path_separator(); }

std::string join_path(const std::string& folder, const std::string& name) {
  return folder + path_separator() + name;
}

std::string folder_of(const std::string& path) {
  std::size_t slash = path.size();
  while (slash > 0 && !is_path_separator(path[slash - 1])) --slash;
  if (slash == 0) return ".";
  return path.substr(0, slash == 1 ? 1 : slash - 1);
}

}  // namespace platform
