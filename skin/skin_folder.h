// Picking the skin in use: the only skin folder, or the one written last.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "platform/files.h"

namespace skin {

// True when `a` lies before `b`. Compares the month first, then the time
// within the month; the day of the week plays no part.
bool is_earlier(const platform::LocalTime& a, const platform::LocalTime& b);

// Returns the chosen skin folder under `root`, or an empty string when there
// is none (also for an empty root). When two or more folders compete and one
// of their times cannot be read, shows the error box and ends the program.
std::string select_skin_folder(const std::string& root,
                               platform::FolderReader& folders,
                               platform::Dialogs& dialogs);

}  // namespace skin
