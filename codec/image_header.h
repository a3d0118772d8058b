// The size an image file's header claims, read without stb_image: stb
// refuses a header whose size is past its own limits, and the user is owed
// "too large" rather than "not an image" for it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace image {

// For a PNG (IHDR), JPEG (the first frame header) or BMP header at the start
// of `data`, stores the width and height it claims and returns true; false
// when the data starts with none of them or ends inside the header.
bool claimed_dimensions(const unsigned char* data, std::size_t size,
                        std::uint32_t& width, std::uint32_t& height);

}  // namespace image
