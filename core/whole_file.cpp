#include "core/whole_file.h"

#include <cstdint>
#include <exception>
#include <span>
#include <thread>

#include "core/input_file.h"

namespace durvane {
namespace {

// Files from this size on are read in two halves side by side: the kernel's copy into fresh
// memory, and its zeroing of that memory first, take two cores instead of one.
constexpr std::uint64_t kTwoReadersBytes = std::uint64_t{16} << 20;

// Reads the whole file into `bytes`, any container with data() and resize().
template <typename Bytes>
Bytes ReadWhole(const std::filesystem::path& path) {
  const InputFile file(path);
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

}  // namespace

std::vector<std::byte> ReadFile(const std::filesystem::path& path) {
  return ReadWhole<std::vector<std::byte>>(path);
}

ByteBuffer ReadFileBuffer(const std::filesystem::path& path) {
  return ReadWhole<ByteBuffer>(path);
}

}  // namespace durvane
