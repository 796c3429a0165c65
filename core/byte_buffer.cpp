#include "core/byte_buffer.h"

#include "core/large_blocks.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace durvane {

void ByteBuffer::Free::operator()(std::byte* p) const {
  FreeLargeBlock(p, capacity);
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
  std::byte* block = AllocateLargeBlock(capacity);
  std::unique_ptr<std::byte[], Free> grown(block, Free{capacity});
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace durvane
