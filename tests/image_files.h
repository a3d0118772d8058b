// Real image files for the image tests: PNGs built chunk by chunk (so every
// colour type, bit depth and tRNS case can be made), plus file helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_images {

using Bytes = std::vector<unsigned char>;

// A PNG of `rows` scanlines (unfiltered, without filter bytes) in the given
// bit depth and colour type, with optional PLTE and tRNS chunk bodies.
Bytes build_png(int width, int height, int bit_depth, int colour_type,
                const Bytes& rows, const Bytes& palette = {},
                const Bytes& transparency = {});

// A PNG whose header claims the given size, followed by a tiny IDAT.
Bytes png_claiming(std::uint32_t width, std::uint32_t height);

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
