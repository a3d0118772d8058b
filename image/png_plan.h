// How to write a PNG that stays with the user: as small as common image
// libraries write it, in as little time as this image allows.
#pragma once

#include "image/png_codec.h"

namespace image {

// Encodes a few strips of the RGBA pixels with each candidate plan and
// returns the quickest whose strips come out no larger than with the
// thorough plan (the best of five filters per row, zlib level 6).
PngPlan choose_final_plan(const unsigned char* rgba, int width, int height);

}  // namespace image
