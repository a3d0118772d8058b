// zlib compression of one large buffer on several cores at once, giving one
// ordinary zlib stream that any inflater reads.
#pragma once

#include <cstddef>
#include <vector>

namespace image {

struct DeflatePlan {
  int level = 6;     // zlib level 0..9
  int strategy = 0;  // Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE ...
};

// How many slices are worth compressing side by side for `size` bytes on
// this machine: 1 for small buffers, at most one per core.
unsigned slices_for(std::size_t size);

// Compresses `size` bytes as one zlib stream (header, deflate data, Adler-32)
// made of `slices` parts deflated in parallel. Returns false, with `out`
// emptied, when zlib or memory fails.
bool zlib_compress(const unsigned char* data, std::size_t size,
                   const DeflatePlan& plan, unsigned slices,
                   std::vector<unsigned char>& out);

}  // namespace image
