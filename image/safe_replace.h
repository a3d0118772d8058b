// Putting new bytes in a file's place so that the file is, at every moment,
// either all old or all new.
#pragma once

#include <cstddef>
#include <string>

#include "platform/files.h"

namespace image {

// The temporary file that new contents of `path` are written to first. Only
// the run holding the skin's lock (see image_lock.h) uses it.
std::string temporary_path_for(const std::string& path);

// Writes `size` bytes to the temporary file beside `path`, flushes them and
// moves the file over `path` in one step. On failure `path` is as it was, no
// temporary file is left and `error` names the file and the cause.
bool replace_contents(platform::Files& files, const std::string& path,
                      const unsigned char* data, std::size_t size,
                      std::string& error);

}  // namespace image
