// Putting new bytes in a file's place so that the file is, at every moment,
// either all old or all new.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "image/skin_files.h"
#include "platform/console.h"
#include "platform/files.h"

namespace image {

// Writes `size` bytes to the first free one of `temporaries` (names beside
// `path`, see skin_files.h), flushes them and moves the file over `path` in
// one step. On failure `path` is as it was, no temporary file is left and
// `error` names the file and the cause.
bool replace_contents(platform::Files& files, const std::string& path,
                      const std::vector<std::string>& temporaries,
                      const unsigned char* data, std::size_t size,
                      std::string& error);

// Puts `size` bytes in the skin image's place as replace_contents does. On
// failure says so on the console, `failure` followed by the image's path and
// then the cause, and returns false; the image is then as it was.
bool replace_image(platform::Files& files, platform::Console& console,
                   const SkinFiles& names, const unsigned char* data,
                   std::size_t size, const std::string& failure);

}  // namespace image
