// The allocator stb_image runs on. stb inflates a PNG's whole zlib stream
// before it checks the result against the header, so a small file can make
// it take gigabytes; here each block it asks for is held to what the header
// allows, and counted.
#pragma once

#include <cstddef>

namespace image {

// The largest single block stb_image needs for a genuine image of this size
// in a file of `file_size` bytes, whatever its format, bit depth or
// interlacing.
std::size_t largest_decode_block(int width, int height, std::size_t file_size);

// While one lives, blocks larger than `largest_block` that stb_image asks
// for on this thread are refused (stb then fails the decode), and the bytes
// stb holds are counted. The innermost limit decides; when it ends the one
// before it is current again and takes over what it counted, so an outer
// limit measures everything decoded inside it. Outside every limit stb
// allocates freely.
class DecodeMemoryLimit {
 public:
  explicit DecodeMemoryLimit(std::size_t largest_block);
  ~DecodeMemoryLimit();
  DecodeMemoryLimit(const DecodeMemoryLimit&) = delete;
  DecodeMemoryLimit& operator=(const DecodeMemoryLimit&) = delete;

  // The most bytes stb held at once while this limit was current or
  // nested inside it, counting both blocks of a reallocation. No run reads
  // it: it is the one way to see that a refused decode stopped small.
  std::size_t peak_bytes() const { return peak_; }

 private:
  friend void* stb_malloc(std::size_t size);
  friend void* stb_realloc(void* block, std::size_t size);
  friend void stb_free(void* block);
  bool admits(std::size_t size);
  void count(std::size_t taken, std::size_t released);

  std::size_t largest_block_;
  std::size_t held_ = 0;
  std::size_t peak_ = 0;
  DecodeMemoryLimit* previous_;
};

// stb_image's and stb_image_write's allocator, also for the encoded PNG
// handed out. Blocks carry their size in front, so only blocks made here may
// be passed back. Thread-safe.
void* stb_malloc(std::size_t size);
void* stb_realloc(void* block, std::size_t size);
void stb_free(void* block);

}  // namespace image
