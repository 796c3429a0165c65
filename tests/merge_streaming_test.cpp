// The merge of files read piece by piece: files larger than the pieces, indices checked as
// they are copied, and the window the validating walk reads through.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/byte_view.h"
#include "core/error.h"
#include "core/file_io.h"
#include "core/file_window.h"
#include "core/input_file.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "prj/prj_layout_reader.h"
#ifndef _WIN32
#include "tests/support/child_process.h"
#endif
#include "tests/support/in_memory_merge.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/temp_dir.h"

namespace durvane::merge {
namespace {

using namespace prj;

using fixture::BuildPrjFile;
using fixture::MergePrjImages;
using fixture::PrjLayoutDesc;
using fixture::PrjNameRecord;
using fixture::PrjRecord;
using fixture::TempDir;

constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

std::vector<std::byte> Expected(const std::vector<std::byte>& first,
                                std::vector<std::byte> second) {
  return MergePrjImages(first, ReadPrjLayout(first), second, ReadPrjLayout(second)).Flatten();
}

// `polygons` polygons over 50 top-level entries whose FF02 records vary in length (one or four
// strings of 0 to 255 bytes), so that records straddle every piece boundary of the copy.
PrjLayoutDesc ManyPolygons(int polygons, std::uint8_t seed) {
  PrjLayoutDesc s;
  for (int p = 0; p < polygons; ++p) {
    PrjNameRecord name;
    const auto length = static_cast<std::size_t>((p * 37 + seed) % 256);
    if (p % 3 == 0) {
      name.flag = 1;
      name.strings = {std::string(length, 'A'), "", std::string(255, 'C'), "D.BMP"};
    } else {
      name.strings = {std::string(length, 'T')};
    }
    name.seed = static_cast<std::uint8_t>(p);
    s.Polygon(p % 50, static_cast<std::uint8_t>(p + seed), name);
  }
  s.ff04 = {{0, 1}, {49, 2}};
  s.ff05 = {{0, 3}};
  s.ff08 = std::vector<PrjRecord>{{7, 4}};
  return s;
}

TEST(StreamingMerge, FilesLargerThanThePiecesMergeAsInMemory) {
  TempDir dir;
  const auto first = BuildPrjFile(ManyPolygons(9000, 1));
  const auto second = BuildPrjFile(ManyPolygons(11000, 2));
  ASSERT_GT(ReadPrjLayout(second)[PrjBlockKind::kFF02].records_bytes(), 1u << 20);
  for (Durability durability : {Durability::kSync, Durability::kNoSync}) {
    fixture::WriteBytes(dir / "a.prj", first);
    fixture::WriteBytes(dir / "b.prj", second);
    const MergeResult result = MergePrj(dir / "a.prj", dir / "b.prj", durability);
    EXPECT_EQ(result.index_shifts.front(), 50);  // 1 + the index of polygon 8999, 8999 % 50
    EXPECT_EQ(fixture::ReadBytes(dir / "a.prj"), Expected(first, second));
    EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
  }
}

TEST(StreamingMerge, AnIndexThatOverflowsBeforeTheLastRecordIsRefused) {
  // The validating walk reads only the last index of the per-polygon blocks; the copy checks
  // the others as it shifts them.
  TempDir dir;
  PrjLayoutDesc a;
  a.Polygon(0, 1).Polygon(1, 2);  // shift 2
  PrjLayoutDesc b = ManyPolygons(6000, 3);
  b.ff01[10].index = kLongMax - 1;
  const auto first = BuildPrjFile(a);
  const auto first_path = dir / "a.prj", second_path = dir / "b.prj";
  fixture::WriteBytes(first_path, first);
  fixture::WriteBytes(second_path, BuildPrjFile(b));
  try {
    MergePrj(first_path, second_path);
    ADD_FAILURE() << "merged";
  } catch (const MergeFileError& e) {
    EXPECT_EQ(e.file(), first_path);
    EXPECT_EQ(e.detail(), "cannot merge '" + second_path.string() +
                              "' into it: section FF01: the second file's top-level index "
                              "2147483646 plus the shift 2 gives 2147483648, outside the range "
                              "of a 32-bit signed value");
  }
  EXPECT_EQ(fixture::ReadBytes(first_path), first);
  EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
}

#ifndef _WIN32
// A full disk is a file size limit (setrlimit) in a child process, which POSIX gives.
TEST(StreamingMerge, AFullDiskLeavesBothLargeFilesAsTheyWere) {
  // The merged file replaces a large first file, so its space is reserved before it is
  // written, on two threads; a disk that cannot hold it stops the merge either way, and both
  // files stay as they were.
  TempDir dir;
  const auto first = BuildPrjFile(ManyPolygons(9000, 5));
  const auto second = BuildPrjFile(ManyPolygons(9000, 6));
  const auto a = dir / "a.prj", b = dir / "b.prj";
  fixture::WriteBytes(a, first);
  fixture::WriteBytes(b, second);
  const std::uint64_t limit = first.size() + second.size() / 2;
  const auto outcome = fixture::RunInChild({.file_size_limit = limit}, [&] {
    MergePrj(a, b, Durability::kNoSync);
    return std::string("merged");
  });
  EXPECT_EQ(outcome.report,
            "error: '" + a.string() + "': cannot write '" + a.string() + "': File too large");
  EXPECT_EQ(fixture::ReadBytes(a), first);
  EXPECT_EQ(fixture::ReadBytes(b), second);
  EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
}
#endif

TEST(FileWindow, ReadsAndRefusesAsAViewOfTheWholeFileDoes) {
  TempDir dir;
  const auto bytes = BuildPrjFile(ManyPolygons(300, 4));
  fixture::WriteBytes(dir / "f.prj", bytes);
  const InputFile file(dir / "f.prj");
  const ByteView whole(bytes);
  // A window smaller than a record slides on almost every read, forwards and back.
  const FileWindow window(file, 16);
  for (std::uint64_t at : std::vector<std::uint64_t>{0, 3, 17, 4000, 15, bytes.size() - 4, 1}) {
    EXPECT_EQ(window.Long(at, "x"), whole.Long(at, "x")) << at;
    EXPECT_EQ(window.Byte(at + 3, "x"), whole.Byte(at + 3, "x")) << at;
  }
  // Runs of bytes: empty, within the window, across its end, as long as it, at the file's end.
  const std::uint64_t end = bytes.size();
  for (const auto& [at, count] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
           {0, 0}, {2, 5}, {9, 12}, {30, 16}, {4000, 16}, {end - 7, 7}, {end, 0}}) {
    const std::span<const std::byte> run = window.Bytes(at, count, "x");
    const std::span<const std::byte> expected = whole.Bytes(at, count, "x");
    EXPECT_TRUE(std::equal(run.begin(), run.end(), expected.begin(), expected.end()))
        << at << " " << count;
  }
  for (std::uint64_t at :
       std::vector<std::uint64_t>{bytes.size() - 3, bytes.size(), bytes.size() + 100}) {
    std::string from_window, from_view;
    try {
      window.Long(at, "the count field");
    } catch (const FormatError& e) {
      from_window = e.what();
    }
    try {
      whole.Long(at, "the count field");
    } catch (const FormatError& e) {
      from_view = e.what();
    }
    EXPECT_FALSE(from_window.empty()) << at;
    EXPECT_EQ(from_window, from_view);
    // A run of four bytes from there is refused with the same words.
    std::string run_refused;
    try {
      window.Bytes(at, 4, "the count field");
    } catch (const FormatError& e) {
      run_refused = e.what();
    }
    EXPECT_EQ(run_refused, from_view) << at;
  }

  const PrjLayout expected = ReadPrjLayout(bytes);
  const PrjLayout walked = ReadPrjLayout(FileWindow(file, 1100), IndexReads::kAll);
  for (PrjBlockKind kind : kPrjBlockOrder) {
    const PrjBlock &x = expected[kind], &y = walked[kind];
    EXPECT_EQ(std::tie(x.present, x.offset, x.records_offset, x.end, x.record_count, x.count_field,
                       x.min_index, x.max_index, x.last_index),
              std::tie(y.present, y.offset, y.records_offset, y.end, y.record_count, y.count_field,
                       y.min_index, y.max_index, y.last_index))
        << BlockName(kind);
  }
}

TEST(InputFile, TellsAFileChangedOrShortenedSinceItWasOpened) {
  TempDir dir;
  fixture::WriteBytes(dir / "f.prj", std::vector<std::byte>(64, std::byte{7}));
  const InputFile file(dir / "f.prj");
  EXPECT_NO_THROW(file.CheckUnchanged());
  fixture::WriteBytes(dir / "f.prj", std::vector<std::byte>(10, std::byte{8}));
  std::vector<std::byte> buffer(32);
  try {
    file.ReadExactly(16, buffer);
    ADD_FAILURE() << "read past the new end";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot read '" + (dir / "f.prj").string() +
                                         "': another program shortened it while it was being read");
  }
  EXPECT_THROW(file.CheckUnchanged(), Error);
}

}  // namespace
}  // namespace durvane::merge
