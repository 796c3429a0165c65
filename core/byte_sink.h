// An output buffer that values are appended to. A sink either holds its whole block in memory,
// or streams it: it keeps at most about one chunk and hands older bytes to a spill function,
// so that a block far larger than memory can be written as it is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string_view>
#include <utility>

#include "core/byte_buffer.h"
#include "core/little_endian.h"

namespace durvane {

class ByteSink {
 public:
  // Takes bytes a streaming sink lets go: their offset within the sink's block, then a buffer
  // that holds them, which the function may keep. It returns the buffer the sink fills next:
  // the same one, or another; either way the sink empties it first.
  using Spill = std::function<ByteBuffer(std::uint64_t offset, ByteBuffer bytes)>;

  // A sink that holds everything in memory.
  ByteSink() = default;
  // A streaming sink that keeps about `chunk_bytes` in memory.
  ByteSink(Spill spill, std::size_t chunk_bytes)
      : spill_(std::move(spill)), chunk_bytes_(chunk_bytes) {
    bytes_.reserve(chunk_bytes);
  }

  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
  // Bytes appended so far, spilled ones included.
  std::uint64_t size() const { return spilled_ + bytes_.size(); }
  // The bytes held in memory: the whole block unless the sink streams.
  std::span<const std::byte> bytes() const { return bytes_; }
  ByteBuffer& storage() { return bytes_; }

  void Long(std::int32_t value) { StoreI32(Extend(4), value); }

  void Byte(std::uint8_t value) { *Extend(1) = static_cast<std::byte>(value); }

  void Append(std::span<const std::byte> data) {
    if (!data.empty()) std::memcpy(Extend(data.size()), data.data(), data.size());
  }

  void Append(std::string_view text) {
    if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
  }

  // Grows the output by count bytes and returns where they start. The bytes are not
  // initialised: the caller must fill every one of them before the next call.
  std::byte* Extend(std::size_t count) {
    if (spill_ && bytes_.size() + count > chunk_bytes_ && !bytes_.empty()) Flush();
    const std::size_t at = bytes_.size();
    bytes_.resize(at + count);
    return bytes_.data() + at;
  }

  void Zeros(std::size_t count) {
    if (count > 0) std::memset(Extend(count), 0, count);
  }

  // Overwrites the Long at an offset already written, in memory or, once spilled, through
  // the spill function.
  void PatchLong(std::uint64_t offset, std::int32_t value) {
    if (offset >= spilled_) {
      StoreI32(bytes_.data() + (offset - spilled_), value);
      return;
    }
    ByteBuffer patch(4);
    StoreI32(patch.data(), value);
    spill_(offset, std::move(patch));
  }

  // Hands every byte held to the spill function. Only for a streaming sink.
  void Flush() {
    if (bytes_.empty()) return;
    const std::size_t count = bytes_.size();
    bytes_ = spill_(spilled_, std::move(bytes_));
    bytes_.resize(0);
    bytes_.reserve(chunk_bytes_);
    spilled_ += count;
  }

 private:
  ByteBuffer bytes_;
  Spill spill_;
  std::size_t chunk_bytes_ = 0;
  std::uint64_t spilled_ = 0;
};

}  // namespace durvane
