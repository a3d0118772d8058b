// Where the client keeps its custom skins for the current user.
#pragma once

#include <string>

#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

namespace skin {

// The skin root for a given application-data folder.
std::string skin_root_under(const std::string& appdata);

// Returns the skin root and prints it; on failure shows the failure box and
// returns an empty string.
std::string query_skin_root(platform::Shell& shell, platform::Dialogs& dialogs,
                            platform::Console& console);

}  // namespace skin
