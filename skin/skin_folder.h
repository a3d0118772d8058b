// Picking the skin in use: the only skin folder, or the one written last.
#pragma once

#include <string>

#include "platform/files.h"

namespace skin {

// True when `a` lies before `b`. Compares the month first, then the time
// within the month; the day of the week plays no part.
bool is_earlier(const platform::LocalTime& a, const platform::LocalTime& b);

// Stores the chosen skin folder under `root` in `folder`, or an empty string
// when there is none (also for an empty root), and returns true. When two or
// more folders compete and one of their times cannot be read, returns false
// with the failed call in `failure`.
bool select_skin_folder(const std::string& root, platform::Files& files,
                        std::string& folder, platform::SystemFailure& failure);

}  // namespace skin
