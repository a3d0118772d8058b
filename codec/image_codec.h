// Decoding any image stb_image reads into RGBA pixels, and encoding RGBA
// pixels as PNG in memory with libdeflate or zlib doing the compression.
#pragma once

#include <cstddef>
#include <memory>

#include "codec/png_plan.h"

namespace image {

struct StbFree {
  void operator()(unsigned char* pixels) const;
};
using Pixels = std::unique_ptr<unsigned char, StbFree>;

struct EncodedFree {
  void operator()(unsigned char* bytes) const;
};

struct DecodedImage {
  Pixels pixels;  // width × height RGBA pixels, rows top to bottom
  int width = 0;
  int height = 0;
  int file_channels = 0;  // what the file itself stores: 1, 2, 3 or 4
  std::size_t pixel_count() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
};

enum class DecodeResult { decoded, unreadable, too_large };

// False for sizes no skin has and whose RGBA buffer, or the PNG encoder's
// row arithmetic, would overflow or exhaust memory.
bool dimensions_fit(int width, int height);

// The longest file that can hold an image of a size `dimensions_fit` takes:
// 16-bit RGBA stored without compression, a filter byte per row, block and
// chunk framing and room for metadata. Anything longer is no skin and is not
// read.
std::size_t largest_image_file();

// Decodes a whole file's `size` bytes by their content (PNG, JPEG, BMP, ...)
// into four channels. Only `decoded` leaves pixels in `out`. The size is
// checked from the header before any pixel memory is taken, and no block
// stb asks for may outgrow what that size needs: data that inflates past it
// is `unreadable`.
DecodeResult decode_image(const unsigned char* data, std::size_t size,
                          DecodedImage& out);

struct EncodedPng {
  std::unique_ptr<unsigned char, EncodedFree> bytes;
  std::size_t size = 0;
};

// Encodes RGBA pixels as an 8-bit RGBA PNG. Returns false when memory runs
// out or the size does not fit. Encodes must not run on two threads at
// once: stb_image_write takes its filter choice from a global of its own.
bool encode_png(const unsigned char* rgba, int width, int height,
                const PngPlan& plan, EncodedPng& out);

}  // namespace image
