// Letting the user check the chosen skin image, and correct the choice.
#pragma once

#include <cstddef>
#include <string>

#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace skin {

// The longest path Windows takes, in UTF-16 units; a typed folder past it
// can name nothing.
constexpr std::size_t kLongestPath = 32767;

// The folder the user typed on one line: surrounding white space and one
// pair of enclosing double quotes removed. Empty when nothing is left.
std::string typed_folder(const std::string& line);

// Shows the image at `image_path` and asks whether it is the skin in use,
// until the user says Yes; after each No the user types another skin folder
// (or the path of its main.png) on the console and `image_path` becomes that
// folder's main.png. A folder without one is named on the console before
// the question comes again. Returns true once an image is confirmed, false
// when input ended before an answer or a folder came (nothing has been
// changed then).
bool confirm_image(std::string& image_path, platform::Shell& shell,
                   platform::Dialogs& dialogs, platform::Files& files,
                   platform::Console& console);

}  // namespace skin
