// The copy of the skin image kept beside it before the tool first changes it.
#pragma once

#include <string>

namespace image {

// The backup's path: the image path with ".bak" appended.
std::string backup_path_for(const std::string& image_path);

// Copies the image to its backup path once. Something already at that path
// is never replaced, and counts as a backup. Returns false, after saying so
// on the console, only when no backup exists and none could be made; the
// image must then not be changed.
bool back_up_image(const std::string& image_path);

}  // namespace image
