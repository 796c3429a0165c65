#include "core/whole_file.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

#include "core/error.h"
#include "core/input_file.h"
#include "core/platform.h"

namespace durvane {
namespace {

// Files from this size on are read in two halves side by side: the kernel's copy into fresh
// memory, and its zeroing of that memory first, take two cores instead of one.
constexpr std::uint64_t kTwoReadersBytes = std::uint64_t{16} << 20;

// Reads the whole file into `bytes`, any container with data() and resize().
template <typename Bytes>
Bytes ReadWhole(const InputFile& file) {
  Bytes bytes(file.size());
  const std::span<std::byte> all(bytes.data(), bytes.size());
  // A file that shrank while being read gives what it still held, up to the first gap.
  if (all.size() < kTwoReadersBytes) {
    bytes.resize(file.ReadSome(0, all));
    return bytes;
  }
  const std::size_t half = all.size() / 2;
  std::size_t second_done = 0;
  std::exception_ptr second_error;
  std::thread second([&] {
    try {
      second_done = file.ReadSome(half, all.subspan(half));
    } catch (...) {
      second_error = std::current_exception();
    }
  });
  std::size_t first_done = 0;
  try {
    first_done = file.ReadSome(0, all.first(half));
  } catch (...) {
    second.join();
    throw;
  }
  second.join();
  if (second_error) std::rethrow_exception(second_error);
  bytes.resize(first_done < half ? first_done : half + second_done);
  return bytes;
}

template <typename Bytes>
Bytes ReadWhole(const std::filesystem::path& path) {
  const InputFile file(path);
  return ReadWhole<Bytes>(file);
}

std::atomic<std::uint64_t> map_from_bytes{kMapBytes};
std::function<void(const InputBytes&)> input_bytes_observer;

}  // namespace

std::vector<std::byte> ReadFile(const std::filesystem::path& path) {
  return ReadWhole<std::vector<std::byte>>(path);
}

ByteBuffer ReadFileBuffer(const std::filesystem::path& path) {
  return ReadWhole<ByteBuffer>(path);
}

InputBytes::InputBytes(const std::filesystem::path& path)
    : file_(std::make_unique<InputFile>(path)) {
  const std::uint64_t size = file_->size();
  if (size > 0 && size >= MapFromBytes()) {
    // Where the system cannot map the file, it is read like a small one.
    std::error_code ignored;
    mapped_ = platform::Map(file_->file(), size, ignored);
  }
  if (mapped_.is_mapped()) {
    bytes_ = mapped_.bytes();
  } else {
    read_ = ReadWhole<ByteBuffer>(*file_);
    bytes_ = {read_.data(), read_.size()};
  }
  if (input_bytes_observer) input_bytes_observer(*this);
}

InputBytes::InputBytes(InputBytes&&) noexcept = default;
InputBytes& InputBytes::operator=(InputBytes&&) noexcept = default;
InputBytes::~InputBytes() = default;

const std::filesystem::path& InputBytes::path() const {
  return file_->path();
}

void InputBytes::CheckUnchanged() const {
  const auto cut_short = [&] {
    ThrowFileError("read", file_->path(), "the file was cut short while it was read");
  };
  if (mapped_.cut_short()) cut_short();
  // Shorter than it was, though no read has met the cut: a copy out of the mapping (a write of
  // a texture's pixels) fails on it rather than faulting.
  std::error_code error;
  const platform::FileStatus now = platform::Status(file_->file(), error);
  if (!error && now.size < file_->size()) cut_short();
  file_->CheckUnchanged();
}

std::uint64_t MapFromBytes() {
  return map_from_bytes.load(std::memory_order_relaxed);
}

void SetMapFromBytes(std::uint64_t bytes) {
  map_from_bytes.store(bytes, std::memory_order_relaxed);
}

void SetInputBytesObserver(std::function<void(const InputBytes&)> observer) {
  input_bytes_observer = std::move(observer);
}

}  // namespace durvane
