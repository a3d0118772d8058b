// One run per skin image at a time. Two runs on the same skin (a double
// double-click) would otherwise share the temporary files and could move a
// half-written file over the image.
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"

namespace image {

// Takes the skin folder's lock for as long as `lock` lives and removes the
// temporary files a killed earlier run may have left, when they are plain
// files. Returns false, after saying so on the console, when another run
// holds the lock, the folder is missing or the lock cannot be taken; nothing
// may then be written.
bool lock_image(platform::Files& files, const std::string& image_path,
                std::unique_ptr<platform::HeldLock>& lock);

// Says on the console that there is no image at `image_path`.
void report_missing_image(const std::string& image_path);

}  // namespace image
