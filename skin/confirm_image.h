// Letting the user check the chosen skin image, and correct the choice.
#pragma once

#include <istream>
#include <string>

#include "platform/dialogs.h"
#include "platform/shell.h"

namespace skin {

// The folder the user typed on one line: surrounding white space and one
// pair of enclosing double quotes removed. Empty when nothing is left.
std::string typed_folder(const std::string& line);

// Shows the image at `image_path` and asks whether it is the skin in use,
// until the user says Yes; after each No the user types another skin folder
// on `input` and `image_path` becomes that folder's main.png. Returns true
// once an image is confirmed, false when input ended before a folder was
// typed (nothing has been changed then).
bool confirm_image(std::string& image_path, platform::Shell& shell,
                   platform::Dialogs& dialogs, std::istream& input);

}  // namespace skin
