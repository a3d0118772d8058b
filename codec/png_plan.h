// How to write a PNG that stays with the user: as small as common image
// libraries write it, in as little time as this image allows.
#pragma once

#include "codec/parallel_deflate.h"

namespace image {

// Filter 0 at level 0 (no filter, stored blocks) is written directly,
// without stb_image_write, for a file that is read back at once.
struct PngPlan {
  int filter = -1;  // -1: the best of the five per row; 0..4 forces one
  DeflatePlan deflate;
};

// What common image libraries write (the best of five filters per row, zlib
// level 6, its default strategy): the size every quicker plan must match.
constexpr PngPlan kThoroughPlan{-1, {6, 0, Deflater::zlib_slices}};

// Encodes a few strips of the RGBA pixels with each candidate plan and
// returns the quickest whose strips come out no larger than with
// kThoroughPlan.
PngPlan choose_final_plan(const unsigned char* rgba, int width, int height);

}  // namespace image
