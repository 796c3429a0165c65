// A file written chunk by chunk on a thread of its own holds every chunk where it was given,
// and the caller is handed buffers to fill again.
#include <gtest/gtest.h>

#include <cstring>

#include "core/file_io.h"
#include "core/write_behind.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using fixture::ReadBytes;
using fixture::TempDir;

TEST(WriteBehind, ChunksLandAtTheirOffsetsWhateverTheirSizes) {
  TempDir dir;
  const auto path = dir / "out.prj";
  // Sizes around the queue's depth of two, an empty chunk and one larger than the rest.
  const std::size_t sizes[] = {1, 4096, 0, 3, 1 << 20, 17, 65536, 5};
  std::vector<std::byte> expected;
  {
    StagedFiles files(Durability::kNoSync);
    StagedFile& file = files.Open(path);
    WriteBehind writer(file);
    ByteBuffer next;
    for (const std::size_t size : sizes) {
      next.resize(size);
      for (std::size_t i = 0; i < size; ++i) {
        next.data()[i] = static_cast<std::byte>((expected.size() + i) * 7 + size);
      }
      const std::uint64_t offset = expected.size();
      expected.insert(expected.end(), next.data(), next.data() + size);
      next = writer.Write(offset, std::move(next));
    }
    writer.Finish();
    file.Close();
    files.Commit();
  }
  EXPECT_EQ(ReadBytes(path), expected);
}

}  // namespace
}  // namespace durvane
