#include "core/file_window.h"

#include <algorithm>

namespace durvane {

FileWindow::FileWindow(const InputFile& file, std::size_t window_bytes)
    : file_(file),
      size_(file.size()),
      window_(static_cast<std::size_t>(
          std::clamp<std::uint64_t>(file.size(), 8, std::max<std::size_t>(window_bytes, 8)))) {}

const std::byte* FileWindow::Slide(std::uint64_t offset, std::size_t count) const {
  // Unchecked reads are checked here too, so that no read leaves the file.
  if (!Contains(offset, count)) ThrowPastEnd(size_, offset, count, "a read");
  if (count > window_.size()) window_.resize(count);
  const auto fill =
      static_cast<std::size_t>(std::min<std::uint64_t>(window_.size(), size_ - offset));
  filled_ = 0;
  // A file that now ends sooner than it did was shortened, which ReadExactly reports.
  file_.ReadExactly(offset, {window_.data(), fill});
  start_ = offset;
  filled_ = fill;
  return window_.data();
}

}  // namespace durvane
