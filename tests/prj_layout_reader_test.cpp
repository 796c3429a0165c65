#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "usecases/conversion_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/sample_model.h"

namespace durvane::prj {
namespace {

using fixture::BuildPrjFile;
using fixture::PrjLayoutDesc;
using fixture::PrjNameRecord;
using fixture::PrjRecord;
using Kind = PrjBlockKind;

// Two polygons whose FF02 records hold four strings (one of them empty) and one empty string,
// so that every section after FF02 starts at an odd offset.
PrjLayoutDesc OddOffsetsFile() {
  PrjLayoutDesc s;
  s.Polygon(0, 1, {.flag = 1, .strings = {"A.BMP", "", "BB", "C"}, .seed = 5});
  s.Polygon(2, 3, {.flag = 9, .strings = {""}, .seed = 6});
  s.ff04 = {{7, 1}};
  s.ff08 = std::vector<PrjRecord>{{1, 2}};
  return s;
}

void ExpectBlock(const PrjLayout& layout, Kind kind, std::uint64_t offset, std::uint64_t end,
                 std::int64_t records) {
  SCOPED_TRACE(std::string(BlockName(kind)));
  const PrjBlock& b = layout[kind];
  EXPECT_TRUE(b.present);
  EXPECT_EQ(b.offset, offset);
  EXPECT_EQ(b.records_offset, offset + (kind == Kind::kLeading ? 4 : 8));
  EXPECT_EQ(b.end, end);
  EXPECT_EQ(b.record_count, records);
}

TEST(PrjLayoutReader, WalksVariableFF02RecordsToOddOffsets) {
  const auto bytes = BuildPrjFile(OddOffsetsFile());
  const PrjLayout layout = ReadPrjLayout(bytes);
  EXPECT_EQ(layout.file_size, 567u);
  EXPECT_EQ(layout.polygon_count(), 2);
  ExpectBlock(layout, Kind::kLeading, 0, 108, 2);
  ExpectBlock(layout, Kind::kFF01, 108, 188, 2);
  // 57 bytes for the four-string record, 46 for the one with an empty string.
  ExpectBlock(layout, Kind::kFF02, 188, 299, 2);
  ExpectBlock(layout, Kind::kFF03, 299, 307, 0);
  ExpectBlock(layout, Kind::kFF04, 307, 391, 1);
  ExpectBlock(layout, Kind::kFF05, 391, 399, 0);
  ExpectBlock(layout, Kind::kFF07, 399, 487, 2);
  ExpectBlock(layout, Kind::kFF08, 487, 567, 1);
  EXPECT_EQ(layout[Kind::kFF04].count_offset, 311u);
  EXPECT_EQ(layout[Kind::kFF04].count_field, 1);
}

TEST(PrjLayoutReader, OptionalSectionsMayBeMissing) {
  PrjLayoutDesc s = OddOffsetsFile();
  s.ff03.reset();
  s.ff08.reset();
  const auto bytes = BuildPrjFile(s);
  const PrjLayout layout = ReadPrjLayout(bytes);
  EXPECT_FALSE(layout[Kind::kFF03].present);
  EXPECT_EQ(layout[Kind::kFF03].offset, 299u);
  EXPECT_EQ(layout[Kind::kFF03].records_bytes(), 0u);
  ExpectBlock(layout, Kind::kFF04, 299, 383, 1);
  EXPECT_FALSE(layout[Kind::kFF08].present);
  EXPECT_EQ(layout[Kind::kFF08].offset, bytes.size());
}

TEST(PrjLayoutReader, NotesIndexRangesAndTheLastIndex) {
  PrjLayoutDesc s;
  s.Polygon(4, 0).Polygon(-3, 0).Polygon(1, 0);
  s.ff05 = {{9, 0}, {-8, 0}};
  const auto bytes = BuildPrjFile(s);
  const PrjLayout layout = ReadPrjLayout(bytes);
  EXPECT_EQ(layout[Kind::kLeading].last_index, 1);
  EXPECT_EQ(layout[Kind::kLeading].min_index, -3);
  EXPECT_EQ(layout[Kind::kLeading].max_index, 4);
  EXPECT_EQ(layout[Kind::kFF02].max_index, 4);
  EXPECT_EQ(layout[Kind::kFF05].min_index, -8);
  EXPECT_EQ(layout[Kind::kFF05].max_index, 9);
}

TEST(PrjLayoutReader, TagValuesInsideRecordsDoNotMoveASection) {
  // Indices, count fields and strings that read as tags at various byte offsets.
  PrjLayoutDesc s;
  const std::string tag_bytes("\x04\xFF\x00\x00\x08\xFF\x00\x00", 8);
  s.Polygon(0xFF01, 0, {.strings = {tag_bytes}});
  s.ff03 = std::vector<PrjRecord>{{0xFF04, 0}, {0xFF08, 0}};
  s.ff04 = {{0xFF05, 0}};
  s.ff05 = {{0xFF07, 0}};
  s.count_fields[1] = 0xFF02;  // FF01's count field is not checked
  const auto bytes = BuildPrjFile(s);
  const PrjLayout layout = ReadPrjLayout(bytes);
  EXPECT_EQ(layout[Kind::kFF03].record_count, 2);
  EXPECT_EQ(layout[Kind::kFF04].record_count, 1);
  EXPECT_EQ(layout[Kind::kFF08].offset + 8, bytes.size());
}

TEST(PrjLayoutReader, MatchesTheBlocksOfAConvertedFile) {
  const auto opt = fixture::SampleModel();
  const ConvertedModel model = ConvertOpt(opt.bytes);
  const auto bytes = model.prj.Flatten();
  const PrjLayout layout = ReadPrjLayout(bytes);
  const auto pieces = model.prj.Pieces();
  std::uint64_t offset = 0;
  for (std::size_t i = 0; i < kPrjBlockCount; ++i) {
    SCOPED_TRACE(std::string(BlockName(kPrjBlockOrder[i])));
    EXPECT_EQ(layout.blocks[i].offset, offset);
    offset += pieces[i].size();
    EXPECT_EQ(layout.blocks[i].end, offset);
  }
  EXPECT_EQ(layout.polygon_count(), model.prj.polygon_count);
  EXPECT_EQ(layout[Kind::kFF03].record_count, model.prj.ff03_count);
  EXPECT_EQ(layout[Kind::kFF08].record_count, model.prj.ff08_count);
}

// ---- Refusals ----

struct Refusal {
  std::uint64_t offset;
  std::string fragment;
};

Refusal Refuse(const std::vector<std::byte>& bytes) {
  try {
    ReadPrjLayout(bytes);
  } catch (const FormatError& e) {
    return {e.offset(), e.what()};
  }
  ADD_FAILURE() << "the layout was accepted";
  return {};
}

void ExpectRefused(const std::vector<std::byte>& bytes, std::uint64_t offset,
                   const std::string& fragment) {
  const Refusal r = Refuse(bytes);
  EXPECT_EQ(r.offset, offset) << r.fragment;
  EXPECT_NE(r.fragment.find(fragment), std::string::npos) << r.fragment;
}

void PutLong(std::vector<std::byte>& bytes, std::size_t at, std::int32_t value) {
  StoreI32(bytes.data() + at, value);
}

TEST(PrjLayoutReader, RefusesBrokenCountsAndTags) {
  const auto good = BuildPrjFile(OddOffsetsFile());

  ExpectRefused({std::byte{0}, std::byte{0}}, 0,
                "leading block: the polygon count would end at 0x4");

  auto bytes = good;
  PutLong(bytes, 0, -1);
  ExpectRefused(bytes, 0, "leading block: the polygon count -1 is negative");

  PutLong(bytes, 0, 100);
  ExpectRefused(bytes, 4, "leading block: 100 records of 52 bytes would end at 0x1454,");

  PutLong(bytes, 0, 1);  // one record too few: FF01 expected inside the second record
  ExpectRefused(bytes, 56,
                "section FF01: expected the tag 0xff01 after the 1 record of "
                "the leading block, found 0x2");

  bytes = good;
  PutLong(bytes, 299, 0x1234);  // neither FF03 nor FF04
  ExpectRefused(bytes, 299,
                "section FF04: expected the tag 0xff03 or 0xff04 after the 2 "
                "records of section FF02, found 0x1234");

  bytes = good;
  PutLong(bytes, 303, -2);
  ExpectRefused(bytes, 303, "section FF03: the record count -2 is negative");

  bytes = good;
  PutLong(bytes, 311, 2);  // FF04 claims a record more than it holds
  ExpectRefused(bytes, 467,
                "section FF05: expected the tag 0xff05 after the 2 records of "
                "section FF04");
  PutLong(bytes, 311, 4);
  ExpectRefused(bytes, 315,
                "section FF04: 4 records of 76 bytes would end at 0x26b, but the "
                "file ends at 0x237");

  bytes = good;
  PutLong(bytes, 391, 0xFF07);  // FF05 missing
  ExpectRefused(bytes, 391, "section FF05: expected the tag 0xff05");

  bytes = good;
  PutLong(bytes, 491, 0);  // FF08 holds one record more than its count
  ExpectRefused(bytes, 495, "section FF08: 72 bytes follow its last record");

  bytes = good;
  bytes.push_back(std::byte{0});
  ExpectRefused(bytes, 567, "section FF08: 1 byte follow");
}

TEST(PrjLayoutReader, RefusesFF02RecordsThatDisagreeWithTheirBytes) {
  PrjLayoutDesc s = OddOffsetsFile();
  // Flag 1 with one string: the walk reads tail bytes as lengths and loses its way.
  s.ff02[1] = {.index = 2, .flag = 1, .strings = {"X.BMP"}, .seed = 0};
  EXPECT_THROW(ReadPrjLayout(BuildPrjFile(s)), FormatError);

  s = OddOffsetsFile();
  s.ff02[1].strings = {std::string(200, 'x')};
  auto bytes = BuildPrjFile(s);
  bytes.resize(253 + 6 + 100);  // cut inside the second record's string
  ExpectRefused(bytes, 259,
                "section FF02, record 2 of 2 at 0xfd: string 1 would end at 0x1cb, "
                "but the file ends at 0x167");
}

TEST(PrjLayoutReader, MissingEndOrTrailingBytesAfterFF07AreRefused) {
  PrjLayoutDesc s = OddOffsetsFile();
  s.ff08.reset();
  auto bytes = BuildPrjFile(s);
  bytes.resize(bytes.size() + 3);
  ExpectRefused(bytes, bytes.size() - 3,
                "section FF08: expected the tag 0xff08 or the end of the file after the 2 "
                "records of section FF07, but the file ends");
}

TEST(PrjLayoutReader, EveryShorterPrefixIsRefused) {
  PrjLayoutDesc s = OddOffsetsFile();
  const auto full = BuildPrjFile(s);
  const std::uint64_t ff08_at = ReadPrjLayout(full)[Kind::kFF08].offset;
  for (std::size_t n = 0; n < full.size(); ++n) {
    const std::vector<std::byte> prefix(full.begin(), full.begin() + n);
    if (n == ff08_at) {
      // Cut exactly before FF08: a valid file without that section.
      EXPECT_FALSE(ReadPrjLayout(prefix)[Kind::kFF08].present);
    } else {
      EXPECT_THROW(ReadPrjLayout(prefix), FormatError) << "prefix of " << n << " bytes";
    }
  }
}

}  // namespace
}  // namespace durvane::prj
