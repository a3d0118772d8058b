// The decisions of the opacity transform, kept free of files and consoles:
// what the user typed, the alpha it stands for, and the pass that applies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>

namespace image {

// The opacity the prompt recommends; also what a non-number leaves in place.
constexpr int kDefaultOpacity = 50;

enum class OpacityInput { number, not_a_number, end_of_input };

// Reads one integer the way formatted extraction does: blanks and empty
// lines skipped, the rest of the line left for the next read. Stores it in
// `opacity` only for `number`; on `not_a_number` (letters, or a number too
// large for an int) the stream is usable again and `opacity` is untouched.
OpacityInput read_opacity(std::istream& input, int& opacity);

// 0..100 (values outside are clamped) to 0..255, rounded to nearest.
std::uint8_t alpha_for_opacity(int opacity);

// Stores `alpha` into the fourth byte of each of `pixel_count` RGBA pixels;
// colour bytes are not touched.
void set_alpha(unsigned char* rgba, std::size_t pixel_count, std::uint8_t alpha);

}  // namespace image
