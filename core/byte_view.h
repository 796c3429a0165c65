// A bounds-checked, read-only view of a file's bytes. Every read names what it reads, so a
// failure can tell the user which field of which file offset lay outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/little_endian.h"

namespace durvane {

// Throws FormatError "<what> needs <count> bytes, but the file ends at <file_size>" at `offset`.
[[noreturn]] void ThrowPastEnd(std::uint64_t file_size, std::uint64_t offset, std::uint64_t count,
                               std::string_view what);

class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(std::span<const std::byte> bytes) : bytes_(bytes) {}

  std::uint64_t size() const { return bytes_.size(); }
  std::span<const std::byte> bytes() const { return bytes_; }

  // True when [offset, offset + count) lies inside the view. Checked by subtraction, so
  // huge untrusted values cannot wrap around.
  bool Contains(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && bytes_.size() - offset >= count;
  }

  // Throws FormatError unless [offset, offset + count) lies inside the view.
  void Require(std::uint64_t offset, std::uint64_t count, std::string_view what) const {
    if (!Contains(offset, count)) ThrowOutside(offset, count, what);
  }

  std::int32_t Long(std::uint64_t offset, std::string_view what) const {
    Require(offset, 4, what);
    return LoadI32(bytes_.data() + offset);
  }

  std::uint8_t Byte(std::uint64_t offset, std::string_view what) const {
    Require(offset, 1, what);
    return static_cast<std::uint8_t>(bytes_[offset]);
  }

  std::span<const std::byte> Bytes(std::uint64_t offset, std::uint64_t count,
                                   std::string_view what) const {
    Require(offset, count, what);
    return bytes_.subspan(offset, count);
  }

  // Reads without a check; for loops whose whole range was checked with Require first.
  std::int32_t LongUnchecked(std::uint64_t offset) const { return LoadI32(bytes_.data() + offset); }

  [[noreturn]] void ThrowOutside(std::uint64_t offset, std::uint64_t count,
                                 std::string_view what) const {
    ThrowPastEnd(size(), offset, count, what);
  }

 private:
  std::span<const std::byte> bytes_;
};

}  // namespace durvane
