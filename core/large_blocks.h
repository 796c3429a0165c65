// Memory for large buffers and arrays: whole files, sort orders, depth buffers, pictures.
// Blocks of a huge page or more are aligned to huge pages and the system is advised to back
// them with huge pages: a run touches each of their pages once, and on some systems a fault per
// small page costs more than the work done in it. Large blocks a thread frees are kept for its
// next ones, so that a program that converts or draws file after file reuses memory it has
// touched already rather than asking the system for fresh pages each time.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace durvane {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
// Blocks at least this large are kept for reuse; the allocator serves smaller ones well.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{256} << 10;

// Whether a thread keeps the large blocks it frees for its next ones. Not under
// AddressSanitizer, which can then catch every use of a freed block, nor on Windows, where
// MinGW's thread-local variables may be gone before a thread's thread-local destructors run.
#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
inline constexpr bool kLargeBlocksKept = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kLargeBlocksKept = false;
#else
inline constexpr bool kLargeBlocksKept = true;
#endif
#else
inline constexpr bool kLargeBlocksKept = true;
#endif

// How a kept block must fit a request: any block at least as large (for a caller that keeps
// the size it is given), or one of the request's rounded size exactly (for one that works the
// size out again from what it asked for).
enum class BlockFit { kAtLeast, kExactly };

// The size of the block that serves a request of `bytes`: large ones are rounded up.
std::size_t LargeBlockBytes(std::size_t bytes);
// A block for `bytes` bytes, aligned to 16 bytes at least; `bytes` becomes its size. Throws
// std::bad_alloc.
std::byte* AllocateLargeBlock(std::size_t& bytes, BlockFit fit = BlockFit::kAtLeast);
// Frees a block of `bytes` bytes (the size AllocateLargeBlock gave), or keeps a large one.
void FreeLargeBlock(std::byte* p, std::size_t bytes);

// An allocator for std::vector from these blocks.
template <typename T>
class LargeAllocator {
 public:
  static_assert(alignof(T) <= 16);
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}  // NOLINT: converts as allocators do

  T* allocate(std::size_t count) {
    if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    std::size_t bytes = count * sizeof(T);
    return reinterpret_cast<T*>(AllocateLargeBlock(bytes, BlockFit::kExactly));
  }
  void deallocate(T* p, std::size_t count) noexcept {
    FreeLargeBlock(reinterpret_cast<std::byte*>(p), LargeBlockBytes(count * sizeof(T)));
  }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace durvane
