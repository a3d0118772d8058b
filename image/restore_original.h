// The way back: the skin image given the bytes of the backup kept beside it.
#pragma once

#include <string>

#include "platform/console.h"
#include "platform/files.h"

namespace image {

// Under the skin's lock, replaces the image at `image_path` with the exact
// bytes of its backup in one step (see safe_replace.h); the backup itself
// stays. Returns true only when the image was replaced. Writes nothing when
// there is no whole image to restore from, or when the image already holds
// the backup's bytes; the console says which, and on a failed write why.
bool restore_original(platform::Files& files, platform::Console& console,
                      const std::string& image_path);

}  // namespace image
