// The sliced zlib stream must be one valid stream whatever the slicing, and
// the seams must not cost what an unprimed restart would.
#include "image/parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <thread>

#include "image/png_codec.h"
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

TEST(ImageSizeGuard, RefusesEmptyNegativeAndAbsurdSizes) {
  EXPECT_TRUE(image::dimensions_fit(1, 1));
  EXPECT_TRUE(image::dimensions_fit(7680, 4320));
  EXPECT_FALSE(image::dimensions_fit(0, 10));
  EXPECT_FALSE(image::dimensions_fit(10, -1));
  EXPECT_FALSE(image::dimensions_fit(9000, 9000));
  EXPECT_FALSE(image::dimensions_fit(1 << 16, 1 << 16));  // int overflow
  EXPECT_FALSE(image::dimensions_fit(INT_MAX, INT_MAX));
}

}  // namespace
