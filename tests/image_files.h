// Real image files for the image tests: PNGs built chunk by chunk (so every
// colour type, bit depth and tRNS case can be made), plus file helpers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_images {

using Bytes = std::vector<unsigned char>;

// A PNG of `rows` scanlines (unfiltered, without filter bytes) in the given
// bit depth and colour type, with optional PLTE and tRNS chunk bodies.
Bytes build_png(int width, int height, int bit_depth, int colour_type,
                const Bytes& rows, const Bytes& palette = {},
                const Bytes& transparency = {});

// Fills `row` (already sized) with unfiltered scanline `y`.
using RowMaker = std::function<void(int y, Bytes& row)>;

// A PNG whose scanlines are made and packed one at a time, so a large image
// needs no copy of its own; Adam7-interlaced when `interlaced` (which takes
// bit depths of 8 and 16 only).
Bytes build_png_by_rows(int width, int height, int bit_depth, int colour_type,
                        bool interlaced, const RowMaker& row_at);

// A PNG whose header claims the given size, followed by a tiny IDAT.
Bytes png_claiming(std::uint32_t width, std::uint32_t height);

// An 8-bit RGBA PNG header of the given size whose image data inflates to
// `inflated` zero bytes, however many that is.
Bytes png_inflating_to(std::uint32_t width, std::uint32_t height,
                       std::size_t inflated);

// A progressive 4:2:0 JPEG of flat grey (128, 128, 128): one DC scan of all
// three components, then one AC scan of each.
Bytes build_progressive_jpeg(int width, int height);

struct PngHeader {
  bool is_png = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bit_depth = 0;
  int colour_type = 0;
};
PngHeader read_png_header(const Bytes& file);

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);

struct Rgba {
  int width = 0;
  int height = 0;
  int file_channels = 0;
  Bytes pixels;  // empty when the file does not decode
};
// Decodes with stb_image into four channels, as the tool does.
Rgba decode(const std::string& path);

// Pseudo-random bytes, the same for the same seed.
Bytes noise(std::size_t size, std::uint32_t seed);

}  // namespace testing_images
