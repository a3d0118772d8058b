// zlib compression of one large buffer on several cores at once, giving one
// ordinary zlib stream that any inflater reads.
#pragma once

#include <cstddef>
#include <vector>

namespace image {

// libdeflate deflates three times as fast as zlib at the same level, within
// a few percent of its size, but can neither stop short of a final block
// nor take a strategy: in a libdeflate plan it writes the last slice, the
// largest, and zlib the others.
enum class Deflater { libdeflate, zlib_slices };

struct DeflatePlan {
  int level = 6;     // zlib 0..9, libdeflate 0..12 (0: stored blocks)
  int strategy = 0;  // zlib only: Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE ...
  Deflater deflater = Deflater::libdeflate;
};

// How many slices are worth compressing side by side for `size` bytes on
// this machine: 1 for small buffers, at most one per core.
unsigned slices_for(std::size_t size);

// Compresses `size` bytes as one zlib stream (header, deflate data, Adler-32)
// made of `slices` parts deflated in parallel, the last by libdeflate when
// the plan says so. Returns false, with `out`
// emptied, when zlib or memory fails.
bool zlib_compress(const unsigned char* data, std::size_t size,
                   const DeflatePlan& plan, unsigned slices,
                   std::vector<unsigned char>& out);

}  // namespace image
