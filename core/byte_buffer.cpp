#include "core/byte_buffer.h"

#include "core/large_allocator.h"
#include "core/platform.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace durvane {
namespace {

constexpr std::size_t kHugePage = kHugePageBytes;
// Blocks at least this large are kept for reuse; the allocator serves smaller ones well.
constexpr std::size_t kKeptBlock = std::size_t{256} << 10;

// Large blocks a thread has finished with, kept for its next buffers: a run that converts
// file after file then reuses memory it has already touched rather than asking the system for
// fresh pages (zeroed, mapped and later unmapped again) for every file. Bounded, so that an
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

  // A kept block of at least `bytes` bytes (the smallest such), or null.
  std::byte* Take(std::size_t& bytes) {
    auto best = blocks_.end();
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
      if (it->bytes >= bytes && (best == blocks_.end() || it->bytes < best->bytes)) best = it;
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

// Memory for `bytes` bytes, rounded up to what the block holds. Huge blocks are aligned to and
// rounded up to huge pages, and the kernel is advised to use huge pages for them (where it
// does not, the advice costs nothing).
std::byte* Allocate(std::size_t& bytes) {
  if (bytes >= kKeptBlock) {
    bytes = RoundUp(bytes, bytes >= kHugePage ? kHugePage : kKeptBlock);
    if (kByteBufferKeepsBlocks) {
      if (std::byte* kept = ThreadBlockCache().Take(bytes)) return kept;
    }
    return static_cast<std::byte*>(
        platform::AllocateAligned(bytes, bytes >= kHugePage ? kHugePage : 64, kHugePage));
  }
  return static_cast<std::byte*>(platform::AllocateAligned(bytes, 16, kHugePage));
}

}  // namespace

void ByteBuffer::Free::operator()(std::byte* p) const {
  if (kByteBufferKeepsBlocks && capacity >= kKeptBlock && !BlockCache::gone) {
    ThreadBlockCache().Give(p, capacity);
  } else {
    platform::FreeAligned(p);
  }
}

ByteBuffer::ByteBuffer(const ByteBuffer& other) {
  resize(other.size_);
  if (size_ > 0) std::memcpy(data(), other.data(), size_);
}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
  if (this != &other) {
    ByteBuffer copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::move(other.data_)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  data_ = std::move(other.data_);
  size_ = std::exchange(other.size_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  return *this;
}

void ByteBuffer::reserve(std::size_t bytes) {
  if (bytes > capacity_) Grow(bytes);
}

void ByteBuffer::Grow(std::size_t at_least) {
  // Growing by half again keeps appends amortised constant.
  std::size_t capacity = std::max(at_least, capacity_ + capacity_ / 2);
  std::byte* block = Allocate(capacity);
  std::unique_ptr<std::byte[], Free> grown(block, Free{capacity});
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace durvane
