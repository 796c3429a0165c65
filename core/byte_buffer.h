// An owning, growable byte buffer for whole files, as input and as output being built. Unlike
// std::vector it does not zero the bytes it grows by (the caller fills them), and it asks the
// system to back large buffers with huge pages: touching hundreds of megabytes page by page
// would otherwise cost more than the conversion itself.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "core/large_blocks.h"

namespace durvane {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  // A buffer of `size` bytes whose contents are unspecified until written.
  explicit ByteBuffer(std::size_t size) { resize(size); }
  ByteBuffer(const ByteBuffer& other);
  ByteBuffer& operator=(const ByteBuffer& other);
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ~ByteBuffer() = default;

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  std::byte* data() { return data_.get(); }
  const std::byte* data() const { return data_.get(); }
  std::byte* begin() { return data(); }
  std::byte* end() { return data() + size_; }
  const std::byte* begin() const { return data(); }
  const std::byte* end() const { return data() + size_; }
  std::byte& operator[](std::size_t i) { return data_.get()[i]; }
  const std::byte& operator[](std::size_t i) const { return data_.get()[i]; }
  operator std::span<const std::byte>() const { return {data(), size_}; }
  // A copy as a vector, for code written for std::vector; it copies every byte.
  operator std::vector<std::byte>() const { return {begin(), end()}; }

  // Makes room for `bytes` bytes in all without moving the contents again.
  void reserve(std::size_t bytes);
  // Sets the size. Bytes kept keep their values; bytes added are unspecified: the caller must
  // write every one of them before they are read or written out.
  void resize(std::size_t size) {
    if (size > capacity_) Grow(size);
    size_ = size;
  }

 private:
  // Frees a block of `capacity` bytes, or keeps a large one for the thread's next buffer.
  struct Free {
    std::size_t capacity;
    void operator()(std::byte* p) const;
  };
  void Grow(std::size_t at_least);

  std::unique_ptr<std::byte[], Free> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace durvane
