// Whole files read into memory come back byte for byte, also the large ones read in two halves
// side by side, whatever their size's parity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "core/file_io.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using fixture::TempDir;
using fixture::WriteBytes;

TEST(WholeFileRead, EverySizeComesBackByteForByte) {
  TempDir dir;
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, 16 * kMiB - 1, 16 * kMiB, 16 * kMiB + 3, 40 * kMiB + 1}) {
    // Bytes that differ from one position to the next, so that a half read into the wrong
    // place or a byte lost at the seam shows.
    std::vector<std::byte> bytes(size);
    std::uint32_t state = 12345;
    for (std::byte& b : bytes) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<std::byte>(state >> 24);
    }
    const auto path = dir / ("file" + std::to_string(size));
    WriteBytes(path, bytes);
    const ByteBuffer buffer = ReadFileBuffer(path);
    ASSERT_EQ(buffer.size(), size);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.data())) << size;
    EXPECT_EQ(ReadFile(path), bytes) << size;
  }
}

}  // namespace
}  // namespace durvane
