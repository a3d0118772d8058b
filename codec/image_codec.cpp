// The one home of the stb implementations. stb_image allocates through
// decode_memory's limit; stb_image_write's own deflate is slow and weak, and
// its hook hands the filtered rows to libdeflate or zlib instead.
#include "codec/image_codec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/decode_memory.h"
#include "codec/image_header.h"

namespace image {
namespace {

// stb_image_write's hook carries a level only; the rest of the plan comes
// from the EncodeSettings of the encode in progress.
thread_local const DeflatePlan* t_deflate_plan = nullptr;

// A compressor holds about a megabyte of tables; the plan's sample strips
// and the final write ask for the same few levels again and again.
struct CompressorCache {
  libdeflate_compressor* compressor = nullptr;
  int level = -1;
  ~CompressorCache() { libdeflate_free_compressor(compressor); }
  libdeflate_compressor* for_level(int wanted) {
    if (compressor == nullptr || level != wanted) {
      libdeflate_free_compressor(compressor);
      compressor = libdeflate_alloc_compressor(wanted);
      level = compressor != nullptr ? wanted : -1;
    }
    return compressor;
  }
};
thread_local CompressorCache t_compressors;

// Straight into the block stb frees: the bound is reserved but only the
// pages written are ever touched.
unsigned char* compress_with_libdeflate(const unsigned char* data,
                                        std::size_t size, int level,
                                        int* out_size) {
  libdeflate_compressor* compressor = t_compressors.for_level(level);
  if (compressor == nullptr) return nullptr;
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, size);
  if (bound > static_cast<std::size_t>(INT_MAX)) return nullptr;
  auto* out = static_cast<unsigned char*>(stb_malloc(bound));
  if (out == nullptr) return nullptr;
  const std::size_t written =
      libdeflate_zlib_compress(compressor, data, size, out, bound);
  if (written == 0) {
    stb_free(out);
    return nullptr;
  }
  *out_size = static_cast<int>(written);
  return out;
}

unsigned char* compress_in_slices(const unsigned char* data, std::size_t size,
                                  const DeflatePlan& plan, unsigned slices,
                                  int* out_size) {
  std::vector<unsigned char> stream;
  if (!zlib_compress(data, size, plan, slices, stream) ||
      stream.size() > static_cast<std::size_t>(INT_MAX)) {
    return nullptr;
  }
  auto* copy = static_cast<unsigned char*>(stb_malloc(stream.size()));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, stream.data(), stream.size());
  *out_size = static_cast<int>(stream.size());
  return copy;
}

unsigned char* compress_for_stb(unsigned char* data, int size, int* out_size,
                                int /*quality*/) {
  const DeflatePlan plan =
      t_deflate_plan != nullptr ? *t_deflate_plan : DeflatePlan{};
  const auto length = static_cast<std::size_t>(size);
  const unsigned slices = slices_for(length);
  if (plan.deflater == Deflater::libdeflate && slices == 1) {
    return compress_with_libdeflate(data, length, plan.level, out_size);
  }
  return compress_in_slices(data, length, plan, slices, out_size);
}

unsigned int crc_for_stb(const unsigned char* data, int size) {
  return libdeflate_crc32(0, data, static_cast<std::size_t>(size));
}

}  // namespace
}  // namespace image

#define STBI_MALLOC(size) image::stb_malloc(size)
#define STBI_REALLOC(block, size) image::stb_realloc(block, size)
#define STBI_FREE(block) image::stb_free(block)
#define STBIW_MALLOC(size) image::stb_malloc(size)
#define STBIW_REALLOC(block, size) image::stb_realloc(block, size)
#define STBIW_FREE(block) image::stb_free(block)
#define STBIW_ZLIB_COMPRESS image::compress_for_stb
#define STBIW_CRC32 image::crc_for_stb
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace image {

namespace {
// 64 Mpixel is twice an 8K screen; a skin that large is a corrupt header.
constexpr long long kMaxPixels = 1LL << 26;

// Reading a header allocates little (a JPEG's decoder state at most).
constexpr std::size_t kLargestHeaderBlock = 1u << 20;

// The whole of an encode's settings, for exactly one encode: the deflate
// plan for the deflate hook and stb_image_write's forced filter, both put back
// as they were when it ends. The filter is a process-wide global of stb's
// own, so encodes must not run on two threads at once.
class EncodeSettings {
 public:
  explicit EncodeSettings(const PngPlan& plan)
      : previous_plan_(t_deflate_plan),
        previous_filter_(stbi_write_force_png_filter) {
    t_deflate_plan = &plan.deflate;
    stbi_write_force_png_filter = plan.filter;
  }
  ~EncodeSettings() {
    t_deflate_plan = previous_plan_;
    stbi_write_force_png_filter = previous_filter_;
  }
  EncodeSettings(const EncodeSettings&) = delete;
  EncodeSettings& operator=(const EncodeSettings&) = delete;

 private:
  const DeflatePlan* previous_plan_;
  int previous_filter_;
};

// stb refuses a header past its own limits (a PNG over 2^30 bytes of
// pixels, any side over 2^24) as it refuses a broken one; the header itself
// tells the two apart.
bool claims_too_large(const unsigned char* data, std::size_t size) {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!claimed_dimensions(data, size, width, height)) return false;
  if (width == 0 || height == 0) return false;
  return width > kMaxPixels || height > kMaxPixels ||
         static_cast<long long>(width) * height > kMaxPixels;
}

// Rows unfiltered in stored deflate blocks, written straight into the one
// buffer of the file: stb_image_write would fill three buffers of this size
// (filtered rows, deflate data, file) to say the same.
bool encode_stored(const unsigned char* rgba, int width, int height,
                   EncodedPng& out) {
  constexpr std::size_t kBlock = 65535;  // the most a stored block holds
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  const std::size_t raw = (row + 1) * static_cast<std::size_t>(height);
  const std::size_t blocks = (raw + kBlock - 1) / kBlock;
  const std::size_t idat = 2 + raw + 5 * blocks + 4;
  if (idat > static_cast<std::size_t>(INT_MAX)) return false;
  const std::size_t total = 8 + 25 + 12 + idat + 12;
  auto* file = static_cast<unsigned char*>(stb_malloc(total));
  if (file == nullptr) return false;
  out.bytes.reset(file);
  out.size = total;

  unsigned char* o = file;
  const auto put32 = [&o](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      *o++ = static_cast<unsigned char>(v >> shift);
    }
  };
  const auto chunk_crc = [&o](const unsigned char* type) {
    return libdeflate_crc32(0, type, static_cast<std::size_t>(o - type));
  };
  static const unsigned char kSignature[] = {137, 80, 78, 71, 13, 10, 26, 10};
  std::memcpy(o, kSignature, 8);
  o += 8;
  put32(13);
  unsigned char* type = o;
  std::memcpy(o, "IHDR", 4);
  o += 4;
  put32(static_cast<std::uint32_t>(width));
  put32(static_cast<std::uint32_t>(height));
  const unsigned char header_tail[] = {8, 6, 0, 0, 0};  // 8-bit RGBA
  std::memcpy(o, header_tail, 5);
  o += 5;
  put32(chunk_crc(type));

  put32(static_cast<std::uint32_t>(idat));
  type = o;
  std::memcpy(o, "IDAT", 4);
  o += 4;
  *o++ = 0x78;  // deflate, 32 KiB window, no compression: 0x7801 % 31 == 0
  *o++ = 0x01;
  std::uint32_t crc = libdeflate_crc32(0, type, 6);
  std::uint32_t adler = 1;
  std::size_t y = 0;
  std::size_t in_row = 0;  // 0: the row's filter byte is next
  for (std::size_t left = raw; left > 0;) {
    const std::size_t length = std::min(left, kBlock);
    left -= length;
    unsigned char* block = o;
    *o++ = left == 0 ? 1 : 0;
    *o++ = static_cast<unsigned char>(length);
    *o++ = static_cast<unsigned char>(length >> 8);
    *o++ = static_cast<unsigned char>(~length);
    *o++ = static_cast<unsigned char>(~length >> 8);
    unsigned char* data = o;
    for (std::size_t room = length; room > 0;) {
      if (in_row == 0) {
        *o++ = 0;  // filter: none
        --room;
        in_row = 1;
        continue;
      }
      const std::size_t n = std::min(room, row + 1 - in_row);
      std::memcpy(o, rgba + y * row + (in_row - 1), n);
      o += n;
      room -= n;
      in_row += n;
      if (in_row == row + 1) {
        in_row = 0;
        ++y;
      }
    }
    adler = libdeflate_adler32(adler, data, length);
    crc = libdeflate_crc32(crc, block, static_cast<std::size_t>(o - block));
  }
  unsigned char* trailer = o;
  put32(adler);
  put32(libdeflate_crc32(crc, trailer, 4));
  put32(0);
  type = o;
  std::memcpy(o, "IEND", 4);
  o += 4;
  put32(chunk_crc(type));
  return true;
}

}  // namespace

void StbFree::operator()(unsigned char* pixels) const {
  stbi_image_free(pixels);
}

void EncodedFree::operator()(unsigned char* bytes) const { stb_free(bytes); }

bool dimensions_fit(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  return static_cast<long long>(width) * height <= kMaxPixels;
}

std::size_t largest_image_file() {
  // Eight bytes a pixel, one more for a row of one pixel, 1/64 for stored
  // deflate blocks and chunk headers, and 1 MiB of other chunks.
  constexpr unsigned long long kRaw = kMaxPixels * 9ull;
  return static_cast<std::size_t>(kRaw + kRaw / 64 + (1ull << 20));
}

DecodeResult decode_image(const unsigned char* data, std::size_t size,
                          DecodedImage& out) {
  out = DecodedImage{};
  // stb counts in int; a file that long is no skin.
  if (size == 0 || size > static_cast<std::size_t>(INT_MAX)) {
    return DecodeResult::unreadable;
  }
  const int length = static_cast<int>(size);
  int width = 0;
  int height = 0;
  int channels = 0;
  {
    DecodeMemoryLimit limit(kLargestHeaderBlock);
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
      return claims_too_large(data, size) ? DecodeResult::too_large
                                          : DecodeResult::unreadable;
    }
  }
  if (!dimensions_fit(width, height)) return DecodeResult::too_large;
  DecodeMemoryLimit limit(largest_decode_block(width, height, size));
  Pixels pixels(
      stbi_load_from_memory(data, length, &width, &height, &channels, 4));
  if (!pixels) return DecodeResult::unreadable;
  // pixel_count() must hold even should the full decode read another size.
  if (!dimensions_fit(width, height)) return DecodeResult::too_large;
  out.pixels = std::move(pixels);
  out.width = width;
  out.height = height;
  out.file_channels = channels;
  return DecodeResult::decoded;
}

bool encode_png(const unsigned char* rgba, int width, int height,
                const PngPlan& plan, EncodedPng& out) {
  out = EncodedPng{};
  if (!dimensions_fit(width, height)) return false;
  if (plan.filter == 0 && plan.deflate.level == 0) {
    return encode_stored(rgba, width, height, out);
  }
  const EncodeSettings settings(plan);
  int size = 0;
  out.bytes.reset(
      stbi_write_png_to_mem(rgba, width * 4, width, height, 4, &size));
  if (!out.bytes) return false;
  out.size = static_cast<std::size_t>(size);
  return true;
}

}  // namespace image
