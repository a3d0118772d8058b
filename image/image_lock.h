// One run per skin image at a time. Two runs on the same skin (a double
// double-click) would otherwise share the temporary files and could move a
// half-written file over the image.
#pragma once

#include <memory>
#include <string>

#include "image/skin_files.h"
#include "platform/console.h"
#include "platform/files.h"

namespace image {

// Takes the lock on the skin's folder for as long as `lock` lives. Returns
// false, after saying so on the console, when another run holds it, the
// folder is missing or the lock cannot be taken; nothing may then be written.
bool lock_image(platform::Files& files, platform::Console& console,
                const SkinFiles& names,
                std::unique_ptr<platform::HeldLock>& lock);

// Under the lock: removes the temporary files a killed earlier run may have
// left beside the image and the backup, when they are plain files.
void remove_leftovers(platform::Files& files, const SkinFiles& names);

// Says on the console that there is no image at `image_path`.
void report_missing_image(platform::Console& console,
                          const std::string& image_path);

}  // namespace image
