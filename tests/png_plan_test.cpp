// The final write's plan must pack as small as the thorough one; the sliced
// zlib stream under it must be one valid stream whatever the slicing, and
// the seams must not cost what an unprimed restart would.
#include "codec/png_plan.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <thread>

#include "codec/image_codec.h"
#include "image_files.h"

namespace {

using testing_images::Bytes;

Bytes compressed(const Bytes& data, unsigned slices,
                 image::DeflatePlan plan = {6, 0, image::Deflater::zlib_slices}) {
  Bytes out;
  EXPECT_TRUE(image::zlib_compress(data.data(), data.size(), plan, slices, out));
  return out;
}

// zlib's own inflater checks the header and the Adler-32 trailer too.
Bytes inflated(const Bytes& stream, std::size_t size) {
  Bytes out(size + 1);
  uLongf length = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &length, stream.data(),
                       static_cast<uLong>(stream.size())),
            Z_OK);
  out.resize(length);
  return out;
}

Bytes mixed_data(std::size_t size) {
  Bytes data = testing_images::noise(size, 7);
  for (std::size_t i = 0; i < size; ++i) {
    if ((i / 5000) % 2 == 0) data[i] = static_cast<unsigned char>(i / 300);
  }
  return data;
}

TEST(SlicedDeflate, AnySlicingGivesBackTheSameBytes) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{5},
                           std::size_t{70000}, std::size_t{3u << 20}}) {
    const Bytes data = mixed_data(size);
    for (unsigned slices : {1u, 2u, 3u, 7u}) {
      EXPECT_EQ(inflated(compressed(data, slices), size), data)
          << size << " bytes in " << slices << " slices";
      EXPECT_EQ(inflated(compressed(data, slices, {6, 0, image::Deflater::libdeflate}), size),
                data)
          << size << " bytes in " << slices << " slices, the last by libdeflate";
    }
  }
}

TEST(SlicedDeflate, EveryLevelAndStrategyGivesAValidStream) {
  const Bytes data = mixed_data(200000);
  for (int level : {0, 1, 6, 9}) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE}) {
      EXPECT_EQ(inflated(compressed(data, 3, {level, strategy, image::Deflater::zlib_slices}),
                         data.size()),
                data)
          << "level " << level << " strategy " << strategy;
    }
  }
}

TEST(SlicedDeflate, LaterSlicesReachBackAcrossTheSeam) {
  // A 20 KB block repeated: unprimed, each slice would store it once more.
  const Bytes block = testing_images::noise(20000, 3);
  Bytes data;
  for (int i = 0; i < 40; ++i) data.insert(data.end(), block.begin(), block.end());
  const std::size_t whole = compressed(data, 1).size();
  const std::size_t sliced = compressed(data, 4).size();
  EXPECT_LT(sliced, whole + 2000);
}

TEST(SlicedDeflate, SmallBuffersStayInOneSlice) {
  EXPECT_EQ(image::slices_for(100), 1u);
  EXPECT_EQ(image::slices_for(0), 1u);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_EQ(image::slices_for(std::size_t{1} << 30), std::min(cores, 8u));
  EXPECT_EQ(image::slices_for(std::size_t{3} << 20), std::min(cores, 3u));
}

// Two kinds of picture the final write must keep as small as the thorough
// plan, each planned its own way.
TEST(FinalPlan, NeverLargerThanTheThoroughPlan) {
  constexpr int kSide = 256;
  Bytes artwork(kSide * kSide * 4);
  Bytes photo(kSide * kSide * 4);
  const Bytes grain = testing_images::noise(photo.size(), 8);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const std::size_t p = (static_cast<std::size_t>(y) * kSide + x) * 4;
      const bool inside = (x / 32 + y / 48) % 3 == 0;
      artwork[p] = inside ? 200 : 20;
      artwork[p + 1] = static_cast<unsigned char>(y < 128 ? 90 : 160);
      artwork[p + 2] = 40;
      for (int c = 0; c < 3; ++c) {
        photo[p + c] = static_cast<unsigned char>((x + y * (c + 1)) / 3 + grain[p + c] % 6);
      }
      artwork[p + 3] = photo[p + 3] = 128;
    }
  }
  const image::PngPlan& thorough = image::kThoroughPlan;
  for (const Bytes* picture : {&artwork, &photo}) {
    const image::PngPlan plan = image::choose_final_plan(picture->data(), kSide, kSide);
    image::EncodedPng chosen;
    image::EncodedPng reference;
    ASSERT_TRUE(image::encode_png(picture->data(), kSide, kSide, plan, chosen));
    ASSERT_TRUE(image::encode_png(picture->data(), kSide, kSide, thorough, reference));
    EXPECT_LE(chosen.size, reference.size * 102 / 100);
    if (picture == &artwork) {
      EXPECT_FALSE(plan.filter == thorough.filter &&
                   plan.deflate.level == thorough.deflate.level &&
                   plan.deflate.strategy == thorough.deflate.strategy)
          << "flat artwork should not need the slow plan";
    }
  }
}

}  // namespace
