// Picking the skin in use: the only skin folder, or the one written last.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace skin {

// The month of a time, counted from year 0. Kept at 16 bits on purpose, like
// the fields it is made of: it wraps only after the year 5460, which no
// folder time reaches, so a wider key would order nothing differently.
std::uint16_t month_key(const platform::LocalTime& t);

// The time within its month, in milliseconds.
std::uint32_t time_key(const platform::LocalTime& t);

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
