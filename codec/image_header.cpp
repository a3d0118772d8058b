// Header fields by their published layouts: PNG big-endian, BMP
// little-endian, JPEG a run of marker segments before the frame header.
#include "codec/image_header.h"

#include <cstring>

namespace image {
namespace {

std::uint32_t big_endian(const unsigned char* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | at[i];
  return value;
}

std::uint32_t little_endian(const unsigned char* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

bool png_size(const unsigned char* data, std::size_t size,
              std::uint32_t& width, std::uint32_t& height) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N',  'G',
                                              '\r', '\n', 0x1A, '\n'};
  if (size < 24 || std::memcmp(data, kSignature, 8) != 0 ||
      std::memcmp(data + 12, "IHDR", 4) != 0) {
    return false;
  }
  width = big_endian(data + 16, 4);
  height = big_endian(data + 20, 4);
  return true;
}

bool jpeg_size(const unsigned char* data, std::size_t size,
               std::uint32_t& width, std::uint32_t& height) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  std::size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return false;
    const unsigned char marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;  // no length follows these
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // data before a frame
    // Frame headers: C0..CF but for DHT (C4), JPG (C8) and DAC (CC).
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                       marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > size) return false;
      height = big_endian(data + at + 5, 2);
      width = big_endian(data + at + 7, 2);
      return true;
    }
    at += 2 + big_endian(data + at + 2, 2);
  }
  return false;
}

bool bmp_size(const unsigned char* data, std::size_t size,
              std::uint32_t& width, std::uint32_t& height) {
  if (size < 26 || data[0] != 'B' || data[1] != 'M') return false;
  if (little_endian(data + 14, 4) == 12) {  // the old OS/2 header
    width = little_endian(data + 18, 2);
    height = little_endian(data + 20, 2);
    return true;
  }
  // Signed; a negative height stores the rows top to bottom.
  const auto signed_width = static_cast<std::int32_t>(little_endian(data + 18, 4));
  const auto signed_height = static_cast<std::int32_t>(little_endian(data + 22, 4));
  const auto magnitude = [](std::int32_t v) {
    return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  };
  width = magnitude(signed_width);
  height = magnitude(signed_height);
  return true;
}

}  // namespace

bool claimed_dimensions(const unsigned char* data, std::size_t size,
                        std::uint32_t& width, std::uint32_t& height) {
  return png_size(data, size, width, height) ||
         jpeg_size(data, size, width, height) ||
         bmp_size(data, size, width, height);
}

}  // namespace image
