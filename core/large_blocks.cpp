#include "core/large_blocks.h"

#include <vector>

#include "core/platform.h"

namespace durvane {
namespace {

constexpr std::size_t kHugePage = kHugePageBytes;
constexpr std::size_t kKeptBlock = kLargeBlockBytes;

// Large blocks a thread has finished with, kept for its next buffers and arrays: a run that
// converts file after file then reuses memory it has already touched rather than asking the system
// for fresh pages (zeroed, mapped and later unmapped again) for every file. Bounded, so that an
// idle program holds little.
class BlockCache {
 public:
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
  static constexpr std::size_t kMaxBlocks = 16;

  ~BlockCache() {
    for (const Block& b : blocks_) platform::FreeAligned(b.data);
    gone = true;
  }
  // Set once the thread's cache is destroyed: buffers outliving it free their blocks.
  static thread_local bool gone;

  // A kept block of at least `bytes` bytes (the smallest such), or of exactly `bytes`; or null.
  std::byte* Take(std::size_t& bytes, BlockFit fit) {
    auto best = blocks_.end();
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
      const bool fits = fit == BlockFit::kExactly ? it->bytes == bytes : it->bytes >= bytes;
      if (fits && (best == blocks_.end() || it->bytes < best->bytes)) best = it;
    }
    if (best == blocks_.end()) return nullptr;
    std::byte* p = best->data;
    bytes = best->bytes;
    held_ -= best->bytes;
    blocks_.erase(best);
    return p;
  }
  // Keeps a block, making room by freeing the oldest; a block larger than the cache is freed.
  void Give(std::byte* p, std::size_t bytes) {
    if (bytes > kMaxBytes) {
      platform::FreeAligned(p);
      return;
    }
    while (bytes > kMaxBytes - held_ || blocks_.size() == kMaxBlocks) {
      held_ -= blocks_.front().bytes;
      platform::FreeAligned(blocks_.front().data);
      blocks_.erase(blocks_.begin());
    }
    blocks_.push_back({p, bytes});
    held_ += bytes;
  }

 private:
  struct Block {
    std::byte* data;
    std::size_t bytes;
  };
  std::vector<Block> blocks_;
  std::size_t held_ = 0;
};

thread_local bool BlockCache::gone = false;

BlockCache& ThreadBlockCache() {
  thread_local BlockCache cache;
  return cache;
}

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

std::size_t LargeBlockBytes(std::size_t bytes) {
  if (bytes < kKeptBlock) return bytes;
  return RoundUp(bytes, bytes >= kHugePage ? kHugePage : kKeptBlock);
}

std::byte* AllocateLargeBlock(std::size_t& bytes, BlockFit fit) {
  bytes = LargeBlockBytes(bytes);
  if (bytes >= kKeptBlock) {
    if (kLargeBlocksKept && !BlockCache::gone) {
      if (std::byte* kept = ThreadBlockCache().Take(bytes, fit)) return kept;
    }
    return static_cast<std::byte*>(
        platform::AllocateAligned(bytes, bytes >= kHugePage ? kHugePage : 64, kHugePage));
  }
  return static_cast<std::byte*>(platform::AllocateAligned(bytes, 16, kHugePage));
}

void FreeLargeBlock(std::byte* p, std::size_t bytes) {
  if (kLargeBlocksKept && bytes >= kKeptBlock && !BlockCache::gone) {
    ThreadBlockCache().Give(p, bytes);
  } else {
    platform::FreeAligned(p);
  }
}

}  // namespace durvane
