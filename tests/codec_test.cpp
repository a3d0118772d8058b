// Decoding under the memory limit its header sets: genuine images of the
// costliest kinds still decode, data that inflates far past its header is
// stopped early and small, and no limit or encoder setting outlives its call.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <utility>

#include "codec/decode_memory.h"
#include "codec/image_codec.h"
#include "image_files.h"

namespace {

using testing_images::Bytes;
using Rgba = std::array<int, 4>;

// Runs of 16 equal pixels: the file stays small, so its size cannot widen
// the limit that the image's own size must cover.
int value16(int x, int y, int c) { return (x / 16 * 2311 + y * 31 + c * 1000) & 0xffff; }

testing_images::RowMaker rgba16_rows(int width) {
  return [width](int y, Bytes& row) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 4; ++c) {
        const int v = value16(x, y, c);
        row[(x * 4 + c) * 2] = static_cast<unsigned char>(v >> 8);
        row[(x * 4 + c) * 2 + 1] = static_cast<unsigned char>(v);
      }
    }
  };
}

Rgba from16(int x, int y) {  // stb keeps the high byte
  return {value16(x, y, 0) >> 8, value16(x, y, 1) >> 8, value16(x, y, 2) >> 8,
          value16(x, y, 3) >> 8};
}

struct Genuine {
  const char* name;
  int width;
  int height;
  std::function<Bytes()> make;
  std::function<Rgba(int x, int y)> pixel;
};

const Genuine kGenuine[] = {
    {"8K RGBA, a flat colour a row", 7680, 4320,
     [] {
       return testing_images::build_png_by_rows(
           7680, 4320, 8, 6, false, [](int y, Bytes& row) {
             for (std::size_t i = 0; i < row.size(); i += 4) {
               row[i] = static_cast<unsigned char>(y);
               row[i + 1] = 90;
               row[i + 2] = static_cast<unsigned char>(y / 17);
               row[i + 3] = 200;
             }
           });
     },
     [](int, int y) { return Rgba{y & 255, 90, (y / 17) & 255, 200}; }},
    {"16-bit RGBA", 640, 480,
     [] { return testing_images::build_png_by_rows(640, 480, 16, 6, false, rgba16_rows(640)); },
     from16},
    // The costliest PNG: stb doubles its buffer for the passes' extra rows.
    {"16-bit RGBA interlaced", 2000, 1500,
     [] { return testing_images::build_png_by_rows(2000, 1500, 16, 6, true, rgba16_rows(2000)); },
     from16},
    {"8-bit RGB interlaced, passes cut short", 13, 6,
     [] {
       return testing_images::build_png_by_rows(13, 6, 8, 2, true, [](int y, Bytes& row) {
         for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<unsigned char>(i * 7 + y);
       });
     },
     [](int x, int y) {
       return Rgba{(x * 21 + y) & 255, (x * 21 + 7 + y) & 255, (x * 21 + 14 + y) & 255, 255};
     }},
    {"8K progressive JPEG", 7680, 4320,
     [] { return testing_images::build_progressive_jpeg(7680, 4320); },
     [](int, int) { return Rgba{128, 128, 128, 255}; }},
    // Its components are padded to whole 16-pixel MCUs: mostly padding.
    {"progressive JPEG one pixel wide", 1, 5000,
     [] { return testing_images::build_progressive_jpeg(1, 5000); },
     [](int, int) { return Rgba{128, 128, 128, 255}; }},
};

TEST(ImageSizeGuard, RefusesEmptyNegativeAndAbsurdSizes) {
  EXPECT_TRUE(image::dimensions_fit(1, 1));
  EXPECT_TRUE(image::dimensions_fit(7680, 4320));
  EXPECT_FALSE(image::dimensions_fit(0, 10));
  EXPECT_FALSE(image::dimensions_fit(10, -1));
  EXPECT_FALSE(image::dimensions_fit(9000, 9000));
  EXPECT_FALSE(image::dimensions_fit(1 << 16, 1 << 16));  // int overflow
  EXPECT_FALSE(image::dimensions_fit(INT_MAX, INT_MAX));
}

TEST(DecodeLimit, GenuineImagesOfTheCostliestKindsDecode) {
  for (const Genuine& g : kGenuine) {
    SCOPED_TRACE(g.name);
    const Bytes file = g.make();
    image::DecodedImage image;
    ASSERT_EQ(image::decode_image(file.data(), file.size(), image),
              image::DecodeResult::decoded);
    ASSERT_EQ(image.width, g.width);
    ASSERT_EQ(image.height, g.height);
    int wrong = 0;
    for (std::size_t i = 0; i < image.pixel_count(); i += 997) {
      const int x = static_cast<int>(i % g.width);
      const int y = static_cast<int>(i / g.width);
      const Rgba want = g.pixel(x, y);
      for (int c = 0; c < 4; ++c) wrong += image.pixels.get()[i * 4 + c] != want[c];
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(DecodeLimit, DataInflatingFarPastItsHeaderStopsEarlyAndSmall) {
  // 1000×1000 RGBA rows take 4 MB; this data inflates to 64 MiB, which
  // stb alone would hold, twice over while growing, and then accept.
  const Bytes bomb = testing_images::png_inflating_to(1000, 1000, 64u << 20);
  image::DecodedImage image;
  image::DecodeMemoryLimit meter(SIZE_MAX);
  EXPECT_EQ(image::decode_image(bomb.data(), bomb.size(), image),
            image::DecodeResult::unreadable);
  // Inflated whole, the data alone would take 64 MiB.
  EXPECT_LT(meter.peak_bytes(), 32u << 20);
  EXPECT_FALSE(image.pixels);
}

TEST(DecodeLimit, NoLimitOutlivesADecodeWhicheverWayItEnds) {
  const Bytes files[] = {
      testing_images::png_inflating_to(100, 100, 8u << 20),  // refused
      testing_images::png_claiming(9000, 9000),              // too large
      Bytes(200, 'x'),                                       // no header
      testing_images::build_png(9, 9, 8, 2, testing_images::noise(243, 1)),
  };
  for (const Bytes& file : files) {
    image::DecodedImage image;
    image::decode_image(file.data(), file.size(), image);
    // Far past any of these files' limits; untouched, so it costs nothing.
    void* block = image::stb_malloc(256u << 20);
    EXPECT_NE(block, nullptr);
    image::stb_free(block);
  }
}

TEST(EncodeSettings, AnEncodeLeavesNoPlanOrFilterForTheNext) {
  Bytes rgba = testing_images::noise(32 * 32 * 4, 3);
  for (std::size_t i = 0; i < rgba.size(); ++i) {
    rgba[i] = static_cast<unsigned char>(i / 4 % 32 * 3 + i / 128 * 5 + rgba[i] % 4);
  }
  image::EncodedPng forced;
  ASSERT_TRUE(image::encode_png(rgba.data(), 32, 32, {2, {1, Z_RLE, image::Deflater::zlib_slices}}, forced));
  EXPECT_EQ(stbi_write_force_png_filter, -1);
  // stb called directly gets its own filter choice and the default deflate.
  image::EncodedPng plain;
  ASSERT_TRUE(image::encode_png(rgba.data(), 32, 32, {}, plain));
  Bytes direct_bytes;
  const auto collect = [](void* to, void* data, int size) {
    auto* bytes = static_cast<unsigned char*>(data);
    static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), bytes, bytes + size);
  };
  ASSERT_TRUE(stbi_write_png_to_func(collect, &direct_bytes, 32, 32, 4, rgba.data(), 32 * 4));
  EXPECT_EQ(direct_bytes, Bytes(plain.bytes.get(), plain.bytes.get() + plain.size));
  EXPECT_NE(direct_bytes, Bytes(forced.bytes.get(), forced.bytes.get() + forced.size));
}

}  // namespace

// Every plan the tool writes with, at sizes whose rows end one or two stored
// blocks exactly, span many or fit in one: other readers check what stb_image skips
// (each chunk's CRC and the zlib stream's Adler-32), so zlib checks those.
TEST(EncodePlans, EveryPlanWritesAFileAnyReaderTakesWithTheSamePixels) {
  const image::PngPlan plans[] = {
      {0, {0, 0, image::Deflater::libdeflate}},  // stored, written directly
      {1, {6, 0, image::Deflater::libdeflate}},
      {-1, {1, Z_RLE, image::Deflater::zlib_slices}},
      {-1, {6, 0, image::Deflater::zlib_slices}},
  };
  const std::pair<int, int> sizes[] = {{1, 1}, {64, 255}, {64, 510}, {3, 7}, {700, 400}};
  for (const auto& [width, height] : sizes) {
    Bytes rgba = testing_images::noise(static_cast<std::size_t>(width) * height * 4, 5);
    for (std::size_t i = 0; i < rgba.size(); i += 3) rgba[i] = static_cast<unsigned char>(i / 4096);
    for (const image::PngPlan& plan : plans) {
      SCOPED_TRACE(testing::Message() << width << "x" << height << " filter " << plan.filter
                                      << " level " << plan.deflate.level);
      image::EncodedPng png;
      ASSERT_TRUE(image::encode_png(rgba.data(), width, height, plan, png));
      const Bytes file(png.bytes.get(), png.bytes.get() + png.size);
      Bytes idat;
      for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t length = std::size_t{file[at]} << 24 | file[at + 1] << 16 |
                                   file[at + 2] << 8 | file[at + 3];
        ASSERT_LE(at + 12 + length, file.size());
        const unsigned char* end = &file[at + 8 + length];
        EXPECT_EQ(crc32(0, &file[at + 4], static_cast<uInt>(length + 4)),
                  uLong{end[0]} << 24 | end[1] << 16 | end[2] << 8 | end[3]);
        if (std::equal(&file[at + 4], &file[at + 8], "IDAT")) {
          idat.insert(idat.end(), &file[at + 8], end);
        }
        at += 12 + length;
      }
      Bytes rows((static_cast<std::size_t>(width) * 4 + 1) * height + 1);
      uLongf rows_size = static_cast<uLongf>(rows.size());
      ASSERT_EQ(uncompress(rows.data(), &rows_size, idat.data(), static_cast<uLong>(idat.size())),
                Z_OK);
      EXPECT_EQ(rows_size, rows.size() - 1);
      image::DecodedImage back;
      ASSERT_EQ(image::decode_image(file.data(), file.size(), back), image::DecodeResult::decoded);
      EXPECT_TRUE(std::equal(rgba.begin(), rgba.end(), back.pixels.get()));
    }
  }
}

// The transform asks for blocks of the image's size again and again; a
// freed one must serve the next, and grow or shrink in place within it.
TEST(DecodeMemory, AFreedLargeBlockServesTheNextRequestOfItsSize) {
  void* first = image::stb_malloc(6u << 20);
  ASSERT_NE(first, nullptr);
  static_cast<unsigned char*>(first)[(5u << 20) - 1] = 42;
  image::stb_free(first);
  void* again = image::stb_malloc(5u << 20);
  EXPECT_EQ(again, first);
  EXPECT_EQ(image::stb_realloc(again, 6u << 20), first);
  EXPECT_EQ(static_cast<unsigned char*>(first)[(5u << 20) - 1], 42);
  image::stb_free(again);
}
