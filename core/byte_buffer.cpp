#include "core/byte_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace durvane {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Memory for `bytes` bytes. Large blocks are aligned to and rounded up to huge pages, and the
// kernel is advised to use huge pages for them (where it does not, the advice costs nothing).
std::byte* Allocate(std::size_t& bytes) {
  void* p = nullptr;
  if (bytes >= kHugePage) {
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    p = std::aligned_alloc(kHugePage, bytes);
    if (p != nullptr) ::madvise(p, bytes, MADV_HUGEPAGE);
  } else {
    p = std::malloc(bytes == 0 ? 1 : bytes);
  }
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<std::byte*>(p);
}

}  // namespace

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
  std::unique_ptr<std::byte[], Free> grown(Allocate(capacity));
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace durvane
