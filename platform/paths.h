// Forming and taking apart paths the way this system writes them. Paths are
// UTF-8; nothing here touches the disk.
#pragma once

#include <string>

namespace platform {

// The character that separates folder names in a path on this system.
char path_separator();

// True for this system's separator and for '/', which Windows takes too.
bool is_path_separator(char c);

// `folder` and `name` joined with the system's separator.
std::string join_path(const std::string& folder, const std::string& name);

// The folder part of `path`: everything before its last separator, the root
// itself for a name right under it, or "." when there is no separator.
std::string folder_of(const std::string& path);

}  // namespace platform
