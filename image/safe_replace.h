// Putting new bytes in a file's place so that the file is, at every moment,
// either all old or all new.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/files.h"

namespace image {

// The temporary file that new contents of `path` are written to first. Only
// the run holding the skin's lock (see image_lock.h) uses it.
std::string temporary_path_for(const std::string& path);

// Every name new contents of `path` may be written under, the usual one
// first. The others are for when something that cannot be proven a plain
// file (a link, a folder) stands at the usual one and must be left alone.
std::vector<std::string> temporary_paths_for(const std::string& path);

// The first of those names with nothing at it; the usual one when none is
// free, so the write fails there and says why.
std::string free_temporary_path(platform::Files& files, const std::string& path);

// Writes `size` bytes to a free temporary name beside `path`, flushes them and
// moves the file over `path` in one step. On failure `path` is as it was, no
// temporary file is left and `error` names the file and the cause.
bool replace_contents(platform::Files& files, const std::string& path,
                      const unsigned char* data, std::size_t size,
                      std::string& error);

}  // namespace image
