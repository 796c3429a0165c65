// An in-memory output buffer that values are appended to; output files are built here in
// full and written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/little_endian.h"

namespace durvane {

class ByteSink {
 public:
  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
  std::size_t size() const { return bytes_.size(); }
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
  // initialised: the caller must fill every one of them.
  std::byte* Extend(std::size_t count) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + count);
    return bytes_.data() + at;
  }

  void Zeros(std::size_t count) {
    if (count > 0) std::memset(Extend(count), 0, count);
  }

  // Overwrites the Long at an offset already written.
  void PatchLong(std::size_t offset, std::int32_t value) {
    StoreI32(bytes_.data() + offset, value);
  }

 private:
  ByteBuffer bytes_;
};

}  // namespace durvane
