// An allocator for the large arrays of a single run (sort orders, depth buffers, pictures):
// blocks of a huge page or more are aligned to huge pages and the system is advised to back
// them with huge pages. A run touches each of their pages once, and on some systems a fault
// per small page costs more than the work done in it.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "core/platform.h"

namespace durvane {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

template <typename T>
class LargeAllocator {
 public:
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}  // NOLINT: converts as allocators do

  T* allocate(std::size_t count) {
    if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = count * sizeof(T);
    if (bytes < kHugePageBytes) return std::allocator<T>().allocate(count);
    return static_cast<T*>(platform::AllocateAligned(bytes, kHugePageBytes, kHugePageBytes));
  }
  void deallocate(T* p, std::size_t count) noexcept {
    if (count * sizeof(T) < kHugePageBytes) {
      std::allocator<T>().deallocate(p, count);
    } else {
      platform::FreeAligned(p);
    }
  }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace durvane
