// The decisions of the opacity transform, kept free of files and of what is
// shown: what the user typed, the alpha it stands for, and the pass that
// applies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/console.h"

namespace image {

// The opacity the prompt recommends; also what a non-number stands for.
constexpr int kDefaultOpacity = 50;

// The longest opacity line kept; anything longer is no number anyone typed.
constexpr std::size_t kOpacityLineLimit = 256;

struct OpacityReading {
  bool ended = false;                // input ended before a non-blank line
  double opacity = kDefaultOpacity;  // the value to use, within 0..100
  std::string note;  // one Chinese line to show; empty when used as typed
};

// Reads whole lines, skipping blank ones (spaces, tabs, CR, the ideographic
// space), and takes the first other line as the opacity: a number in ASCII
// or full-width digits, with an optional sign and decimal fraction, and
// optionally followed by a percent sign, blanks and punctuation such as
// "，" or "。". A number outside 0..100 is clamped and anything else
// (a line over kOpacityLineLimit bytes too) gives the default, each with a
// note saying which value is used.
OpacityReading read_opacity(platform::Console& console);

// 0..100 (values outside are clamped) to 0..255, rounded to nearest once.
std::uint8_t alpha_for_opacity(double opacity);

// Stores `alpha` into the fourth byte of each of `pixel_count` RGBA pixels;
// colour bytes are not touched.
void set_alpha(unsigned char* rgba, std::size_t pixel_count, std::uint8_t alpha);

}  // namespace image
