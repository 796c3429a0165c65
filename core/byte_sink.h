// An output buffer that values are appended to. By default it keeps every byte in memory; a
// sink told to spill into a staged file writes its bytes there as they accumulate, keeping
// only a small, reused buffer, so that a large output need never exist whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/file_io.h"
#include "core/little_endian.h"

namespace durvane {

class ByteSink {
 public:
  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
  // Bytes appended so far, spilled or not.
  std::size_t size() const { return spilled_ + bytes_.size(); }
  // The bytes still held in memory: all of them unless the sink spills.
  std::span<const std::byte> bytes() const { return bytes_; }
  ByteBuffer& storage() { return bytes_; }

  // From now on, bytes go to `file` from file offset `file_offset` on whenever more than
  // kSpillBytes are held; Flush writes the rest. Call before anything is appended.
  void SpillTo(StagedFile& file, std::uint64_t file_offset) {
    file_ = &file;
    file_offset_ = file_offset;
    bytes_.reserve(kSpillBytes + (kSpillBytes >> 2));  // one allocation, reused after each spill
  }
  static constexpr std::size_t kSpillBytes = std::size_t{1} << 20;

  // Writes the bytes held to the spill file, if any.
  void Flush() {
    if (file_ == nullptr || bytes_.empty()) return;
    file_->WriteAt(file_offset_ + spilled_, bytes_);
    spilled_ += bytes_.size();
    bytes_.resize(0);
  }

  void Long(std::int32_t value) { StoreI32(Extend(4), value); }

  void Byte(std::uint8_t value) { *Extend(1) = static_cast<std::byte>(value); }

  void Append(std::span<const std::byte> data) {
    if (!data.empty()) std::memcpy(Extend(data.size()), data.data(), data.size());
  }

  void Append(std::string_view text) {
    if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
  }

  // Grows the output by count bytes and returns where they start. The bytes are not
  // initialised: the caller must fill every one of them.
  std::byte* Extend(std::size_t count) {
    if (file_ != nullptr && bytes_.size() + count > kSpillBytes) Flush();
    const std::size_t at = bytes_.size();
    bytes_.resize(at + count);
    return bytes_.data() + at;
  }

  void Zeros(std::size_t count) {
    if (count > 0) std::memset(Extend(count), 0, count);
  }

  // Overwrites the Long at an offset already written, in memory or in the spill file.
  void PatchLong(std::size_t offset, std::int32_t value) {
    if (offset >= spilled_) {
      StoreI32(bytes_.data() + (offset - spilled_), value);
      return;
    }
    std::byte bytes[4];
    StoreI32(bytes, value);
    file_->WriteAt(file_offset_ + offset, bytes);
  }

 private:
  ByteBuffer bytes_;
  StagedFile* file_ = nullptr;
  std::uint64_t file_offset_ = 0;
  std::uint64_t spilled_ = 0;
};

}  // namespace durvane
