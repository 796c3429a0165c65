#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/byte_buffer.h"
#include "core/byte_sink.h"
#include "core/file_io.h"
#include "core/large_blocks.h"
#include "core/little_endian.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

std::byte B(int v) {
  return static_cast<std::byte>(v);
}

TEST(ByteBuffer, GrowingPastHugePageSizesKeepsTheBytes) {
  ByteBuffer buffer;
  for (int i = 0; i < 3'000'000; i += 1000) {
    buffer.resize(buffer.size() + 1000);
    std::memset(buffer.data() + i, i / 1000 % 251, 1000);
  }
  ASSERT_EQ(buffer.size(), 3'000'000u);
  for (std::size_t i = 0; i < buffer.size(); i += 999) {
    ASSERT_EQ(buffer[i], B(static_cast<int>(i / 1000 % 251))) << "at " << i;
  }
}

// Vectors grown across the huge-page size and shrunk back: each block is freed the way it
// was allocated (the sanitizer build catches a mismatch), and large ones start on a huge page.
TEST(LargeVector, KeepsItsValuesAcrossTheHugePageSizeBothWays) {
  constexpr std::size_t kPerHugePage = kHugePageBytes / sizeof(std::uint32_t);
  for (const std::size_t count :
       {std::size_t{1}, kPerHugePage - 1, kPerHugePage, 3 * kPerHugePage}) {
    LargeVector<std::uint32_t> values;
    for (std::size_t i = 0; i < count; ++i) values.push_back(static_cast<std::uint32_t>(i * 7));
    if (values.capacity() * sizeof(std::uint32_t) >= kHugePageBytes) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % kHugePageBytes, 0u) << count;
    }
    values.resize(count / 2 + 1);
    values.shrink_to_fit();
    ASSERT_EQ(values.size(), count / 2 + 1);
    for (std::size_t i = 0; i < values.size(); i += 97) {
      ASSERT_EQ(values[i], i * 7) << count << " at " << i;
    }
    const LargeVector<std::uint32_t> copy = values;
    EXPECT_EQ(copy, values) << count;
  }
}

TEST(ByteBuffer, ALargeBlockIsReusedByTheThreadsNextLargeBuffer) {
  if (!kLargeBlocksKept) GTEST_SKIP() << "blocks are freed at once in this build";
  const std::byte* first = nullptr;
  {
    ByteBuffer a(20'000'000);
    std::memset(a.data(), 1, a.size());
    first = a.data();
  }
  // A smaller large buffer takes the kept block (the only one this large), whole; its bytes
  // are the caller's to write.
  ByteBuffer b(19'000'000);
  EXPECT_EQ(b.data(), first);
  EXPECT_GE(b.capacity(), 20'000'000u);
  EXPECT_EQ(b.size(), 19'000'000u);
  // Two buffers alive at once never share a block.
  ByteBuffer c(19'000'000);
  EXPECT_NE(c.data(), b.data());
  std::memset(b.data(), 2, b.size());
  std::memset(c.data(), 3, c.size());
  EXPECT_EQ(b[18'999'999], B(2));
}

TEST(ByteBuffer, CopiesAreIndependentAndMovesEmptyTheSource) {
  ByteBuffer a(4);
  std::memcpy(a.data(), "abcd", 4);
  ByteBuffer b = a;
  b[0] = B('z');
  EXPECT_EQ(a[0], B('a'));
  EXPECT_EQ(b[0], B('z'));

  ByteBuffer c = std::move(a);
  EXPECT_EQ(c.size(), 4u);
  EXPECT_EQ(a.size(), 0u);  // NOLINT(bugprone-use-after-move): moved-from state is specified
  a = c;
  EXPECT_EQ(std::memcmp(a.data(), "abcd", 4), 0);

  const std::span<const std::byte> view = c;
  EXPECT_EQ(view.size(), 4u);
  EXPECT_EQ(view.data(), c.data());
  const std::vector<std::byte> copy = c;
  EXPECT_EQ(copy, std::vector<std::byte>({B('a'), B('b'), B('c'), B('d')}));
}

// A sink's bytes are exactly what was appended, with patched counts, across many growths.
// Vectors free their blocks by the size they asked for, so a vector takes a kept block only
// of the size it asks for: drawing again takes the blocks the last drawing freed.
TEST(LargeVector, TakesAKeptBlockOnlyOfItsOwnSize) {
  if (!kLargeBlocksKept) GTEST_SKIP() << "blocks are freed at once in this build";
  constexpr std::size_t kBytes = 7 * kHugePageBytes;
  const std::byte* kept = nullptr;
  {
    LargeVector<std::uint32_t> first(kBytes / 4, 5);
    kept = reinterpret_cast<const std::byte*>(first.data());
  }
  {
    const LargeVector<std::uint32_t> smaller(kBytes / 8);
    EXPECT_NE(reinterpret_cast<const std::byte*>(smaller.data()), kept);
  }
  const LargeVector<std::uint32_t> same(kBytes / 4);
  EXPECT_EQ(reinterpret_cast<const std::byte*>(same.data()), kept);
}

TEST(ByteSink, AppendsAndPatchesAcrossGrowth) {
  ByteSink sink;
  sink.Long(0x0000FF01);
  const std::size_t count_at = sink.size();
  sink.Long(0);
  for (int i = 0; i < 40'000; ++i) {
    sink.Long(i);
    sink.Byte(static_cast<std::uint8_t>(i));
  }
  sink.Zeros(5);
  sink.Append(std::string_view("name.BMP"));
  sink.PatchLong(count_at, 40'000);
  ASSERT_EQ(sink.size(), 8 + 40'000 * 5 + 5 + 8u);
  const std::byte* p = sink.bytes().data();
  EXPECT_EQ(LoadI32(p), 0xFF01);
  EXPECT_EQ(LoadI32(p + 4), 40'000);
  EXPECT_EQ(LoadI32(p + 8 + 5 * 39'999), 39'999);
  EXPECT_EQ(p[8 + 5 * 39'999 + 4], B(39'999 & 0xFF));
  EXPECT_EQ(std::memcmp(p + sink.size() - 8, "name.BMP", 8), 0);
  EXPECT_EQ(p[sink.size() - 9], B(0));
}

TEST(StagedFiles, AnOpenedFileThatIsNeverCommittedLeavesNothing) {
  fixture::TempDir folder;
  {
    StagedFiles files;
    StagedFile& file = files.Open(folder.path() / "out.prj");
    const std::byte data[] = {B(9)};
    file.WriteAt(100, data);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
}  // namespace durvane
