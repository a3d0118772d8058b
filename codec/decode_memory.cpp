// stb's allocator: the size of each block sits in front of it, so a free
// knows what it gives back and the current limit can count it. A transform
// asks for blocks of the image's size again and again (pixels, filtered
// rows, the encoded file, the inflated rows); each fresh one costs a page
// fault for every 4 KiB it is first written, so freed large blocks are
// kept for the next requests they fit.
#include "codec/decode_memory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace image {
namespace {

// Keeps the block behind it aligned as malloc's own blocks are.
constexpr std::size_t kPrefix = alignof(std::max_align_t) > sizeof(std::size_t)
                                    ? alignof(std::max_align_t)
                                    : sizeof(std::size_t);

static_assert(2 * sizeof(std::size_t) <= kPrefix, "size and capacity in front");

thread_local DecodeMemoryLimit* t_current = nullptr;

unsigned char* base_of(void* block) {
  return static_cast<unsigned char*>(block) - kPrefix;
}

std::size_t size_of(void* block) {
  std::size_t size = 0;
  std::memcpy(&size, base_of(block), sizeof size);
  return size;
}

std::size_t capacity_of(void* block) {
  std::size_t capacity = 0;
  std::memcpy(&capacity, base_of(block) + sizeof capacity, sizeof capacity);
  return capacity;
}

void* block_at(void* base, std::size_t size, std::size_t capacity) {
  auto* bytes = static_cast<unsigned char*>(base);
  std::memcpy(bytes, &size, sizeof size);
  std::memcpy(bytes + sizeof size, &capacity, sizeof capacity);
  return bytes + kPrefix;
}

// Smaller blocks come and go through malloc's own free lists already.
constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

// The kept blocks: two, as the widening's round trip frees the pixels and
// the file it wrote just before it needs two such blocks to decode the file
// again. One is reused only for a request at least half its size, and all
// are given back before any other large block is taken, so the memory held
// while stb works is never more than without them.
struct Spares {
  struct Block {
    void* base = nullptr;
    std::size_t capacity = 0;
  };
  std::mutex mutex;
  Block kept[2];
};
Spares g_spares;

// A base of at least `size` bytes after the prefix; `capacity` says how many.
void* take_base(std::size_t size, std::size_t& capacity) {
  if (size >= kLargeBlock) {
    Spares::Block unfit[2];
    {
      std::lock_guard<std::mutex> hold(g_spares.mutex);
      Spares::Block* best = nullptr;
      for (Spares::Block& block : g_spares.kept) {
        if (block.base != nullptr && block.capacity >= size &&
            block.capacity / 2 <= size &&
            (best == nullptr || block.capacity < best->capacity)) {
          best = &block;
        }
      }
      if (best != nullptr) {
        capacity = best->capacity;
        return std::exchange(*best, Spares::Block{}).base;
      }
      for (int i = 0; i < 2; ++i) {
        unfit[i] = std::exchange(g_spares.kept[i], Spares::Block{});
      }
    }
    for (const Spares::Block& block : unfit) std::free(block.base);
  }
  // Room to spare: the inflated rows of an image are a filter byte a row
  // longer than its pixels, and a tail never written is never faulted in.
  capacity = size >= kLargeBlock ? size + size / 32 : size;
  return std::malloc(kPrefix + capacity);
}

void give_back(void* base, std::size_t capacity) {
  if (capacity >= kLargeBlock) {
    std::lock_guard<std::mutex> hold(g_spares.mutex);
    // The smallest of the kept two and this one goes.
    Spares::Block* smallest = &g_spares.kept[0];
    if (g_spares.kept[1].capacity < smallest->capacity) {
      smallest = &g_spares.kept[1];
    }
    if (smallest->capacity < capacity) {
      base = std::exchange(*smallest, Spares::Block{base, capacity}).base;
    }
  }
  std::free(base);
}

}  // namespace

std::size_t largest_decode_block(int width, int height, std::size_t file_size) {
  const auto w = static_cast<std::uint64_t>(std::max(width, 0));
  const auto h = static_cast<std::uint64_t>(std::max(height, 0));
  // - PNG: the zlib output is sized for 16-bit RGBA rows, 8 bytes a pixel
  //   plus a filter byte a row, and doubled when the data runs longer, as
  //   an interlaced file's seven passes do: under 16·w·h + 8·h + 28. HDR's
  //   float RGBA is 16·w·h as well.
  // - Progressive JPEG: 2 bytes a coefficient in a component padded to
  //   whole MCUs (up to 31 more columns and rows): under 2·w·h + 62·(w + h)
  //   + 2048.
  // - PNG IDAT chunks are gathered in a buffer that doubles: under twice
  //   the file, at least 4 KiB.
  // - Fixed decoder state (the JPEG and GIF structs) is far below 1 MiB.
  const std::uint64_t block =
      16 * w * h + 64 * (w + h) + 2 * std::uint64_t{file_size} + (1u << 20);
  return static_cast<std::size_t>(std::min<std::uint64_t>(block, SIZE_MAX));
}

DecodeMemoryLimit::DecodeMemoryLimit(std::size_t largest_block)
    : largest_block_(largest_block), previous_(t_current) {
  t_current = this;
}

DecodeMemoryLimit::~DecodeMemoryLimit() {
  t_current = previous_;
  if (previous_ != nullptr) {
    previous_->peak_ = std::max(previous_->peak_, previous_->held_ + peak_);
    previous_->held_ += held_;
  }
}

bool DecodeMemoryLimit::admits(std::size_t size) {
  return size <= largest_block_;
}

void DecodeMemoryLimit::count(std::size_t taken, std::size_t released) {
  peak_ = std::max(peak_, held_ + taken);
  held_ += taken;
  // A block made before this limit may be given back under it.
  held_ -= std::min(held_, released);
}

void* stb_malloc(std::size_t size) {
  DecodeMemoryLimit* limit = t_current;
  if (size > SIZE_MAX - kPrefix) return nullptr;
  if (limit != nullptr && !limit->admits(size)) return nullptr;
  std::size_t capacity = 0;
  void* base = take_base(size, capacity);
  if (base == nullptr) return nullptr;
  if (limit != nullptr) limit->count(size, 0);
  return block_at(base, size, capacity);
}

void* stb_realloc(void* block, std::size_t size) {
  if (block == nullptr) return stb_malloc(size);
  DecodeMemoryLimit* limit = t_current;
  if (size > SIZE_MAX - kPrefix) return nullptr;
  if (limit != nullptr && !limit->admits(size)) return nullptr;
  const std::size_t old_size = size_of(block);
  const std::size_t capacity = capacity_of(block);
  if (size <= capacity) {
    if (limit != nullptr) limit->count(size, old_size);
    return block_at(base_of(block), size, capacity);
  }
  void* base = std::realloc(base_of(block), kPrefix + size);
  // On failure the old block stays whole and stb frees it.
  if (base == nullptr) return nullptr;
  if (limit != nullptr) limit->count(size, old_size);
  return block_at(base, size, size);
}

void stb_free(void* block) {
  if (block == nullptr) return;
  const std::size_t size = size_of(block);
  give_back(base_of(block), capacity_of(block));
  if (t_current != nullptr) t_current->count(0, size);
}

}  // namespace image
