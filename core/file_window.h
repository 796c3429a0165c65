// Bounds-checked reads of a file too large to hold in memory, for walks that move forward
// through it: the reads of ByteView, at file offsets, served from a window of the file that
// slides forward as the walk asks for later bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/byte_view.h"
#include "core/input_file.h"

namespace durvane {

class FileWindow {
 public:
  // A window of `window_bytes` (or the whole file, when smaller) over `file`, which must
  // outlive it.
  explicit FileWindow(const InputFile& file, std::size_t window_bytes = kDefaultWindowBytes);

  static constexpr std::size_t kDefaultWindowBytes = std::size_t{256} << 10;

  // The file's size when it was opened: the end every read is checked against.
  std::uint64_t size() const { return size_; }

  bool Contains(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size_ && size_ - offset >= count;
  }
  void Require(std::uint64_t offset, std::uint64_t count, std::string_view what) const {
    if (!Contains(offset, count)) ThrowPastEnd(size_, offset, count, what);
  }
  std::int32_t Long(std::uint64_t offset, std::string_view what) const {
    Require(offset, 4, what);
    return LongUnchecked(offset);
  }
  std::uint8_t Byte(std::uint64_t offset, std::string_view what) const {
    Require(offset, 1, what);
    return static_cast<std::uint8_t>(*Load(offset, 1));
  }
  // The bytes [offset, offset + count), good until the next read through the window.
  std::span<const std::byte> Bytes(std::uint64_t offset, std::uint64_t count,
                                   std::string_view what) const {
    Require(offset, count, what);
    return {Load(offset, static_cast<std::size_t>(count)), static_cast<std::size_t>(count)};
  }
  // For loops whose whole range was checked with Require first.
  std::int32_t LongUnchecked(std::uint64_t offset) const { return LoadI32(Load(offset, 4)); }

 private:
  // The bytes [offset, offset + count) of the file, inside the file, in the window.
  const std::byte* Load(std::uint64_t offset, std::size_t count) const {
    if (offset >= start_ && offset - start_ <= filled_ && filled_ - (offset - start_) >= count) {
      return window_.data() + (offset - start_);
    }
    return Slide(offset, count);
  }
  const std::byte* Slide(std::uint64_t offset, std::size_t count) const;

  const InputFile& file_;
  std::uint64_t size_;
  // The window is a cache of the file's bytes: reads that slide it are still reads.
  mutable std::vector<std::byte> window_;
  mutable std::uint64_t start_ = 0;
  mutable std::size_t filled_ = 0;
};

}  // namespace durvane
