// Hand-built PNG chunks: length, type, body, CRC; IDAT is zlib data of the
// scanlines, each behind filter byte 0.
#include "image_files.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stb_image.h>

namespace testing_images {
namespace {

void put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(v >> shift));
  }
}

void put_chunk(Bytes& out, const char* type, const Bytes& body) {
  put32(out, static_cast<std::uint32_t>(body.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  put32(out, static_cast<std::uint32_t>(
                 crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

Bytes png_start(std::uint32_t width, std::uint32_t height, int bit_depth,
                int colour_type) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {static_cast<unsigned char>(bit_depth),
                               static_cast<unsigned char>(colour_type), 0, 0,
                               0});
  put_chunk(out, "IHDR", header);
  return out;
}

void put_image_data(Bytes& out, const Bytes& filtered) {
  uLongf size = compressBound(static_cast<uLong>(filtered.size()));
  Bytes packed(size);
  compress(packed.data(), &size, filtered.data(),
           static_cast<uLong>(filtered.size()));
  packed.resize(size);
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", {});
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace

Bytes build_png(int width, int height, int bit_depth, int colour_type,
                const Bytes& rows, const Bytes& palette,
                const Bytes& transparency) {
  Bytes out = png_start(static_cast<std::uint32_t>(width),
                        static_cast<std::uint32_t>(height), bit_depth,
                        colour_type);
  if (!palette.empty()) put_chunk(out, "PLTE", palette);
  if (!transparency.empty()) put_chunk(out, "tRNS", transparency);
  const std::size_t row_size = rows.size() / static_cast<std::size_t>(height);
  Bytes filtered;
  for (int y = 0; y < height; ++y) {
    filtered.push_back(0);
    const auto start = rows.begin() + static_cast<long>(row_size * y);
    filtered.insert(filtered.end(), start, start + static_cast<long>(row_size));
  }
  put_image_data(out, filtered);
  return out;
}

Bytes png_claiming(std::uint32_t width, std::uint32_t height) {
  Bytes out = png_start(width, height, 8, 6);
  put_image_data(out, Bytes(64, 0));
  return out;
}

PngHeader read_png_header(const Bytes& file) {
  PngHeader h;
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (file.size() < 33 || !std::equal(signature.begin(), signature.end(),
                                      file.begin()) ||
      std::string(file.begin() + 12, file.begin() + 16) != "IHDR") {
    return h;
  }
  h.is_png = true;
  h.width = get32(file, 16);
  h.height = get32(file, 20);
  h.bit_depth = file[24];
  h.colour_type = file[25];
  return h;
}

Bytes read_file(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream(std::filesystem::u8path(path), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Rgba decode(const std::string& path) {
  Rgba image;
  const Bytes file = read_file(path);
  unsigned char* pixels = stbi_load_from_memory(
      file.data(), static_cast<int>(file.size()), &image.width, &image.height,
      &image.file_channels, 4);
  if (pixels != nullptr) {
    image.pixels.assign(pixels, pixels + static_cast<std::size_t>(image.width) *
                                             image.height * 4);
    stbi_image_free(pixels);
  }
  return image;
}

Bytes noise(std::size_t size, std::uint32_t seed) {
  Bytes out(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<unsigned char>(x >> 24);
  }
  return out;
}

}  // namespace testing_images
