// The one home of the stb implementations. stb_image allocates through
// decode_memory's limit; stb_image_write's own deflate is slow and weak, and
// its hook hands the filtered rows to zlib instead.
#include "image/png_codec.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <vector>

#include "image/decode_memory.h"
#include "image/image_header.h"

namespace image {
namespace {

// stb_image_write's hook carries a level only; the rest of the plan comes
// from the EncodeSettings of the encode in progress.
thread_local const DeflatePlan* t_deflate_plan = nullptr;

unsigned char* compress_with_zlib(unsigned char* data, int size, int* out_size,
                                  int /*quality*/) {
  const DeflatePlan plan =
      t_deflate_plan != nullptr ? *t_deflate_plan : DeflatePlan{};
  const auto length = static_cast<std::size_t>(size);
  std::vector<unsigned char> stream;
  if (!zlib_compress(data, length, plan, slices_for(length), stream) ||
      stream.size() > static_cast<std::size_t>(INT_MAX)) {
    return nullptr;
  }
  // stb frees the result with free().
  auto* copy = static_cast<unsigned char*>(std::malloc(stream.size()));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, stream.data(), stream.size());
  *out_size = static_cast<int>(stream.size());
  return copy;
}

unsigned int crc_with_zlib(const unsigned char* data, int size) {
  return static_cast<unsigned int>(
      crc32(0, data, static_cast<uInt>(size)));
}

}  // namespace
}  // namespace image

#define STBI_MALLOC(size) image::stb_malloc(size)
#define STBI_REALLOC(block, size) image::stb_realloc(block, size)
#define STBI_FREE(block) image::stb_free(block)
#define STBIW_ZLIB_COMPRESS image::compress_with_zlib
#define STBIW_CRC32 image::crc_with_zlib
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
// plan for the zlib hook and stb_image_write's forced filter, both put back
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

}  // namespace

void StbFree::operator()(unsigned char* pixels) const {
  stbi_image_free(pixels);
}

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
  const EncodeSettings settings(plan);
  int size = 0;
  out.bytes.reset(
      stbi_write_png_to_mem(rgba, width * 4, width, height, 4, &size));
  if (!out.bytes) return false;
  out.size = static_cast<std::size_t>(size);
  return true;
}

}  // namespace image
