// The work the tool exists for: the confirmed skin image backed up, made
// four-channel, given one alpha from the typed opacity and saved in place.
#pragma once

#include <string>

#include "platform/console.h"
#include "platform/files.h"

namespace image {

// Runs the whole transform on the image at `image_path`, reading the opacity
// from the console and reporting every step on the console. Returns true only
// when the image was rewritten with the new alpha. On any failure the
// console says what happened and the file is left whole: either as it was,
// or, after the widening, the same picture as an RGBA PNG. The image is
// changed only while a whole backup stands beside it.
bool rewrite_opacity(platform::Files& files, platform::Console& console,
                     const std::string& image_path);

}  // namespace image
