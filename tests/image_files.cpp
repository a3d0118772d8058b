// Hand-built PNG chunks: length, type, body, CRC; IDAT is zlib data of the
// scanlines, each behind filter byte 0. A JPEG built marker by marker.
#include "image_files.h"

#include <zlib.h>

#include <algorithm>
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
                int colour_type, bool interlaced = false) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {static_cast<unsigned char>(bit_depth),
                               static_cast<unsigned char>(colour_type), 0, 0,
                               static_cast<unsigned char>(interlaced)});
  put_chunk(out, "IHDR", header);
  return out;
}

// zlib data made from pieces as they come.
class Deflater {
 public:
  Deflater() { deflateInit(&z_, 1); }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  void add(const unsigned char* data, std::size_t size) {
    run(data, size, Z_NO_FLUSH);
  }
  Bytes finish() {
    run(nullptr, 0, Z_FINISH);
    return std::move(out_);
  }

 private:
  void run(const unsigned char* data, std::size_t size, int flush) {
    z_.next_in = const_cast<unsigned char*>(data);
    z_.avail_in = static_cast<uInt>(size);
    unsigned char buffer[1 << 16];
    do {
      z_.next_out = buffer;
      z_.avail_out = sizeof buffer;
      deflate(&z_, flush);
      out_.insert(out_.end(), buffer, buffer + (sizeof buffer - z_.avail_out));
    } while (z_.avail_out == 0);
  }
  z_stream z_{};
  Bytes out_;
};

void put_image_data(Bytes& out, const Bytes& packed) {
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", {});
}

int channels_of(int colour_type) {
  switch (colour_type) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace

Bytes build_png_by_rows(int width, int height, int bit_depth, int colour_type,
                        bool interlaced, const RowMaker& row_at) {
  Bytes out = png_start(static_cast<std::uint32_t>(width),
                        static_cast<std::uint32_t>(height), bit_depth,
                        colour_type, interlaced);

  const int pixel_bits = bit_depth * channels_of(colour_type);
  Bytes row((static_cast<std::size_t>(width) * pixel_bits + 7) / 8);
  Deflater data;
  const unsigned char filter = 0;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) {
      row_at(y, row);
      data.add(&filter, 1);
      data.add(row.data(), row.size());
    }
  } else {
    // Adam7: each pass takes every dx-th pixel from x0 on every dy-th row
    // from y0; a pass with no pixels has no rows at all.
    const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                              {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
                              {0, 1, 1, 2}};
    const std::size_t pixel_bytes = static_cast<std::size_t>(pixel_bits / 8);
    for (const auto& p : passes) {
      if (p[0] >= width) continue;
      for (int y = p[1]; y < height; y += p[3]) {
        row_at(y, row);
        data.add(&filter, 1);
        for (int x = p[0]; x < width; x += p[2]) {
          data.add(row.data() + x * pixel_bytes, pixel_bytes);
        }
      }
    }
  }
  put_image_data(out, data.finish());
  return out;
}

Bytes build_png(int width, int height, int bit_depth, int colour_type,
                const Bytes& rows, const Bytes& palette,
                const Bytes& transparency) {
  Bytes out = build_png_by_rows(
      width, height, bit_depth, colour_type, false, [&](int y, Bytes& row) {
        std::copy_n(rows.begin() + static_cast<long>(row.size() * y),
                    row.size(), row.begin());
      });
  // PLTE and tRNS go between IHDR and IDAT.
  Bytes extra;
  if (!palette.empty()) put_chunk(extra, "PLTE", palette);
  if (!transparency.empty()) put_chunk(extra, "tRNS", transparency);
  out.insert(out.begin() + 33, extra.begin(), extra.end());
  return out;
}

Bytes png_claiming(std::uint32_t width, std::uint32_t height) {
  return png_inflating_to(width, height, 64);
}

Bytes png_inflating_to(std::uint32_t width, std::uint32_t height,
                       std::size_t inflated) {
  Bytes out = png_start(width, height, 8, 6);
  const Bytes zeros(1 << 20, 0);
  Deflater data;
  for (std::size_t left = inflated; left > 0;) {
    const std::size_t piece = std::min(left, zeros.size());
    data.add(zeros.data(), piece);
    left -= piece;
  }
  put_image_data(out, data.finish());
  return out;
}

namespace {

void put16(Bytes& out, int v) {
  out.push_back(static_cast<unsigned char>(v >> 8));
  out.push_back(static_cast<unsigned char>(v));
}

void put_segment(Bytes& out, unsigned char marker, const Bytes& body) {
  out.insert(out.end(), {0xff, marker});
  put16(out, static_cast<int>(body.size()) + 2);
  out.insert(out.end(), body.begin(), body.end());
}

// Entropy-coded data of `bits` zero bits, the last byte padded with ones.
void put_zero_bits(Bytes& out, std::size_t bits) {
  out.insert(out.end(), bits / 8, 0);
  if (bits % 8 != 0) out.push_back(static_cast<unsigned char>(0xff >> bits % 8));
}

int blocks(int pixels, int block) { return (pixels + block - 1) / block; }

}  // namespace

Bytes build_progressive_jpeg(int width, int height) {
  Bytes out = {0xff, 0xd8};
  Bytes quantisers(65, 1);
  quantisers[0] = 0;
  put_segment(out, 0xdb, quantisers);
  Bytes frame = {8};
  put16(frame, height);
  put16(frame, width);
  // Y sampled 2×2, Cb and Cr 1×1, all on quantiser 0.
  frame.insert(frame.end(), {3, 1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0});
  put_segment(out, 0xc2, frame);
  // One code, "0", in each table: a DC difference of 0, and end of block.
  Bytes tables;
  for (const unsigned char table_class : {0x00, 0x10}) {
    tables.push_back(table_class);
    Bytes counts(16, 0);
    counts[0] = 1;
    tables.insert(tables.end(), counts.begin(), counts.end());
    tables.push_back(0);
  }
  put_segment(out, 0xc4, tables);
  // DC of all three, interleaved: 4 Y blocks and one of each chroma an MCU.
  put_segment(out, 0xda, {3, 1, 0, 2, 0, 3, 0, 0, 0, 0});
  put_zero_bits(out, static_cast<std::size_t>(blocks(width, 16)) *
                         blocks(height, 16) * 6);
  // AC coefficients 1..63 of one component a scan, one end of block each.
  for (unsigned char component = 1; component <= 3; ++component) {
    const int side = component == 1 ? 1 : 2;
    put_segment(out, 0xda, {1, component, 0, 1, 63, 0});
    put_zero_bits(out, static_cast<std::size_t>(
                           blocks(blocks(width, side), 8)) *
                           blocks(blocks(height, side), 8));
  }
  out.insert(out.end(), {0xff, 0xd9});
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
