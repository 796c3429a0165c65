#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/byte_buffer.h"
#include "core/byte_sink.h"
#include "core/file_io.h"
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

// Appends a deterministic mix of values, counts patched at the start, and large runs.
void FillSink(ByteSink& sink) {
  sink.Long(0x0000FF01);
  const std::size_t count_at = sink.size();
  sink.Long(0);
  for (int i = 0; i < 40'000; ++i) {
    sink.Long(i);
    sink.Byte(static_cast<std::uint8_t>(i));
    if (i % 1000 == 0) sink.Zeros(3000);
    if (i % 777 == 0) sink.Append(std::string_view("name.BMP"));
  }
  std::byte* run = sink.Extend(3 * ByteSink::kSpillBytes / 2);  // one piece larger than a spill
  for (std::size_t i = 0; i < 3 * ByteSink::kSpillBytes / 2; ++i) run[i] = B(static_cast<int>(i));
  const std::size_t late_at = sink.size();
  sink.Long(0);
  sink.PatchLong(count_at, 40'000);  // long since spilled
  sink.PatchLong(late_at, -7);       // still held in memory
}

TEST(ByteSink, SpillingIntoAFileGivesTheBytesKeptInMemory) {
  ByteSink memory;
  FillSink(memory);

  fixture::TempDir folder;
  const auto path = folder.path() / "out.bin";
  {
    StagedFiles files;
    StagedFile& file = files.Open(path);
    const std::byte prefix[] = {B(1), B(2), B(3)};
    file.WriteAt(0, prefix);
    ByteSink spilling;
    spilling.SpillTo(file, 3);
    FillSink(spilling);
    EXPECT_LE(spilling.bytes().size(), ByteSink::kSpillBytes * 2);
    spilling.Flush();
    EXPECT_EQ(spilling.size(), memory.size());
    files.Commit();
  }
  const std::vector<std::byte> written = ReadFile(path);
  ASSERT_EQ(written.size(), memory.size() + 3);
  EXPECT_EQ(written[0], B(1));
  EXPECT_EQ(std::memcmp(written.data() + 3, memory.bytes().data(), memory.size()), 0);
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
