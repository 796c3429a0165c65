// An in-memory output buffer that values are appended to; output files are built here in
// full and written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/little_endian.h"

namespace durvane {

class ByteSink {
 public:
  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
  std::size_t size() const { return bytes_.size(); }
  std::span<const std::byte> bytes() const { return bytes_; }
  std::vector<std::byte>& storage() { return bytes_; }

  void Long(std::int32_t value) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + 4);
    StoreI32(bytes_.data() + at, value);
  }

  void Byte(std::uint8_t value) { bytes_.push_back(static_cast<std::byte>(value)); }

  void Append(std::span<const std::byte> data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }

  void Append(std::string_view text) {
    for (char c : text) bytes_.push_back(static_cast<std::byte>(c));
  }

  // Grows the buffer by count bytes and returns where they start, for the caller to fill.
  std::byte* Extend(std::size_t count) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + count);
    return bytes_.data() + at;
  }

  void Zeros(std::size_t count) { bytes_.resize(bytes_.size() + count); }

  // Overwrites the Long at an offset already written.
  void PatchLong(std::size_t offset, std::int32_t value) {
    StoreI32(bytes_.data() + offset, value);
  }

 private:
  std::vector<std::byte> bytes_;
};

}  // namespace durvane
