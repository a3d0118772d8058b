// Opacity input and the alpha pass.
#include "image/opacity.h"

#include <algorithm>

namespace image {

OpacityInput read_opacity(std::istream& input, int& opacity) {
  // A failure left over from an earlier read must not count as "no number".
  input.clear(input.rdstate() & ~std::ios::failbit);
  input >> std::ws;
  if (input.eof() || input.bad()) return OpacityInput::end_of_input;
  // A failed extraction stores 0 or the int limit, so it must not land in
  // `opacity` directly.
  int typed = 0;
  if (input >> typed) {
    opacity = typed;
    return OpacityInput::number;
  }
  input.clear(input.rdstate() & ~std::ios::failbit);
  return OpacityInput::not_a_number;
}

std::uint8_t alpha_for_opacity(int opacity) {
  const int clamped = std::clamp(opacity, 0, 100);
  return static_cast<std::uint8_t>((clamped * 255 + 50) / 100);
}

void set_alpha(unsigned char* rgba, std::size_t pixel_count,
               std::uint8_t alpha) {
  for (std::size_t i = 0; i < pixel_count; ++i) rgba[i * 4 + 3] = alpha;
}

}  // namespace image
