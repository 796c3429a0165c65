#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/in_memory_merge.h"
#include "tests/support/prj_fixture.h"

namespace durvane::merge {
namespace {

using namespace prj;

using fixture::BuildPrjFile;
using fixture::MergedPrj;
using fixture::MergePrjImages;
using fixture::PrjNameRecord;
using fixture::PrjRecord;
using fixture::PrjSpec;
using Kind = PrjBlockKind;
using Records = std::vector<PrjRecord>;

constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();

struct Merged {
  std::vector<std::byte> bytes;
  std::int32_t index_shift;
  std::vector<std::string> warnings;
};

Merged Merge(const std::vector<std::byte>& first, std::vector<std::byte> second) {
  const PrjLayout a = ReadPrjLayout(first);
  const PrjLayout b = ReadPrjLayout(second);
  const MergedPrj m = MergePrjImages(first, a, second, b);
  return {m.Flatten(), m.plan.index_shift, m.plan.warnings};
}

Merged Merge(const PrjSpec& first, const PrjSpec& second) {
  return Merge(BuildPrjFile(first), BuildPrjFile(second));
}

// What a merge must give, described record by record: each block holds the first file's
// records and then the second file's with their indices shifted. An optional section the
// first file lacks appears only when the second file has records for it.
PrjSpec Combined(const PrjSpec& a, const PrjSpec& b, std::int32_t shift) {
  PrjSpec out = a;
  const PrjSpec s = fixture::ShiftedIndices(b, shift);
  auto append = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
  append(out.leading, s.leading);
  append(out.ff01, s.ff01);
  append(out.ff02, s.ff02);
  append(out.ff04, s.ff04);
  append(out.ff05, s.ff05);
  append(out.ff07, s.ff07);
  for (auto section : {&PrjSpec::ff03, &PrjSpec::ff08}) {
    const auto& from = s.*section;
    auto& to = out.*section;
    if (to && from) append(*to, *from);
    if (!to && from && !from->empty()) to = from;
  }
  return out;
}

// First file of the worked example: 3 polygons, the last with top-level index 1, two records
// in each of FF03, FF04 and FF05.
PrjSpec ExampleFirst() {
  PrjSpec s;
  s.Polygon(0, 10).Polygon(0, 20).Polygon(1, 30);
  s.ff03 = Records{{0, 1}, {1, 2}};
  s.ff04 = {{0, 3}, {1, 4}};
  s.ff05 = {{0, 5}, {1, 6}};
  return s;
}

PrjSpec ExampleSecond() {
  PrjSpec s;
  s.Polygon(0, 40, {.flag = 1, .strings = {"W1.BMP", "W2.BMP", "", "W4.BMP"}});
  s.Polygon(1, 50);
  s.ff03 = Records{{1, 7}};
  s.ff04 = {{0, 8}};
  s.ff05 = {{1, 9}};
  return s;
}

TEST(PrjMerge, WorkedExampleSumsCountsAndShiftsTheSecondFilesIndices) {
  const Merged m = Merge(ExampleFirst(), ExampleSecond());
  EXPECT_EQ(m.index_shift, 2);
  const PrjLayout layout = ReadPrjLayout(m.bytes);
  for (Kind k : {Kind::kLeading, Kind::kFF01, Kind::kFF02, Kind::kFF07}) {
    EXPECT_EQ(layout[k].count_field, 5) << BlockName(k);
  }
  for (Kind k : {Kind::kFF03, Kind::kFF04, Kind::kFF05}) {
    EXPECT_EQ(layout[k].count_field, 3) << BlockName(k);
  }
  EXPECT_EQ(layout[Kind::kFF08].count_field, 0);
  // The second file's records follow the first file's, raised by 2: leading indices 0 0 1 2 3.
  EXPECT_EQ(layout[Kind::kLeading].last_index, 3);
  EXPECT_EQ(layout[Kind::kFF03].last_index, 3);
  EXPECT_EQ(layout[Kind::kFF04].last_index, 2);
  EXPECT_EQ(m.bytes, BuildPrjFile(Combined(ExampleFirst(), ExampleSecond(), 2)));
}

TEST(PrjMerge, IndexShiftComesFromTheLastPolygonRecordAlone) {
  PrjSpec first;
  first.Polygon(5, 0).Polygon(2, 0);  // the last polygon, not the largest index, counts
  first.ff04 = {{9, 0}};
  first.ff05 = {{12, 0}};
  const Merged m = Merge(first, ExampleSecond());
  EXPECT_EQ(m.index_shift, 3);
  EXPECT_EQ(m.bytes, BuildPrjFile(Combined(first, ExampleSecond(), 3)));
}

TEST(PrjMerge, WithoutPolygonsTheShiftPassesTheLargestIndexOfAnySection) {
  PrjSpec first;
  first.ff04 = {{4, 0}};
  first.ff08 = Records{{7, 0}, {-1, 0}};
  EXPECT_EQ(Merge(first, ExampleSecond()).index_shift, 8);

  // No record at all: the second file's indices stay as they are.
  const PrjSpec empty;
  const Merged m = Merge(empty, ExampleSecond());
  EXPECT_EQ(m.index_shift, 0);
  EXPECT_EQ(m.bytes, BuildPrjFile(ExampleSecond()));
}

TEST(PrjMerge, OptionalSectionsOnEitherSide) {
  // Each side: section absent, present with no record, present with records.
  const std::optional<Records> kinds[] = {std::nullopt, Records{}, Records{{0, 1}, {1, 2}}};
  for (const auto& first_ff03 : kinds) {
    for (const auto& second_ff03 : kinds) {
      for (const auto& ff08 : kinds) {
        PrjSpec a = ExampleFirst();
        PrjSpec b = ExampleSecond();
        a.ff03 = first_ff03;
        b.ff03 = second_ff03;
        a.ff08 = ff08;
        b.ff08 = second_ff03;  // FF08 takes the mirror combinations
        const PrjSpec expected = Combined(a, b, 2);
        SCOPED_TRACE("first FF03 " + std::to_string(a.ff03 ? int(a.ff03->size()) : -1) +
                     ", second FF03 " + std::to_string(b.ff03 ? int(b.ff03->size()) : -1) +
                     ", first FF08 " + std::to_string(a.ff08 ? int(a.ff08->size()) : -1));
        const Merged m = Merge(a, b);
        EXPECT_EQ(m.bytes, BuildPrjFile(expected));
        const PrjLayout layout = ReadPrjLayout(m.bytes);
        EXPECT_EQ(layout[Kind::kFF03].present, expected.ff03.has_value());
        EXPECT_EQ(layout[Kind::kFF08].present, expected.ff08.has_value());
      }
    }
  }
}

TEST(PrjMerge, ANewFF03SectionGoesAfterAllFF02RecordsAndANewFF08AtTheEnd) {
  PrjSpec a = ExampleFirst();
  a.ff03.reset();
  a.ff08.reset();
  PrjSpec b = ExampleSecond();
  b.ff08 = Records{{0, 3}};
  const Merged m = Merge(a, b);
  const PrjLayout layout = ReadPrjLayout(m.bytes);
  EXPECT_EQ(layout[Kind::kFF02].record_count, 5);
  EXPECT_EQ(layout[Kind::kFF03].offset, layout[Kind::kFF02].end);
  EXPECT_EQ(layout[Kind::kFF03].count_field, 1);
  EXPECT_EQ(layout[Kind::kFF03].end, layout[Kind::kFF04].offset);
  EXPECT_EQ(layout[Kind::kFF08].count_field, 1);
  EXPECT_EQ(layout[Kind::kFF08].end, m.bytes.size());
  EXPECT_EQ(layout[Kind::kFF08].last_index, 2);
}

TEST(PrjMerge, FF02RecordsOfEveryShapeAreCarriedWhole) {
  PrjSpec a;
  a.Polygon(0, 1, {.flag = 1, .strings = {"", "", "", ""}});
  a.Polygon(1, 2, {.flag = 0, .strings = {"ABCDEFGH.BM"}});
  a.Polygon(2, 3, {.flag = 0x80, .strings = {std::string(255, 'z')}});
  PrjSpec b;
  b.Polygon(0, 4, {.flag = 2, .strings = {""}});
  b.Polygon(0, 5, {.flag = 1, .strings = {"a", "bb", std::string(1, '\x01'), "dddd"}});
  b.ff03.reset();
  const Merged m = Merge(a, b);
  EXPECT_EQ(m.bytes, BuildPrjFile(Combined(a, b, 3)));
  // The sections after FF02 sit at offsets that are not multiples of 4 in all three files.
  EXPECT_NE(ReadPrjLayout(BuildPrjFile(a))[Kind::kFF03].offset % 4, 0u);
  EXPECT_NE(ReadPrjLayout(m.bytes)[Kind::kFF03].offset % 4, 0u);
}

TEST(PrjMerge, AMergedFileMergesAgainOnEitherSide) {
  const PrjSpec a = ExampleFirst();
  const PrjSpec b = ExampleSecond();
  PrjSpec c;
  c.Polygon(7, 60, {.flag = 1, .strings = {"1", "2", "3", "4"}});
  c.ff08 = Records{{7, 1}};
  const Merged ab = Merge(a, b);
  const PrjSpec ab_spec = Combined(a, b, 2);
  EXPECT_EQ(Merge(ab.bytes, BuildPrjFile(c)).bytes, BuildPrjFile(Combined(ab_spec, c, 4)));

  const Merged bc = Merge(b, c);
  EXPECT_EQ(Merge(BuildPrjFile(a), bc.bytes).bytes,
            BuildPrjFile(Combined(a, Combined(b, c, 2), 2)));
}

TEST(PrjMerge, AnEmptySecondFileLeavesTheFirstAsItWas) {
  PrjSpec empty_with_sections;
  PrjSpec empty_without;
  empty_without.ff03.reset();
  empty_without.ff08.reset();
  PrjSpec first_without = ExampleFirst();
  first_without.ff03.reset();
  first_without.ff08.reset();
  for (const PrjSpec& first : {ExampleFirst(), first_without}) {
    const auto bytes = BuildPrjFile(first);
    EXPECT_EQ(Merge(bytes, BuildPrjFile(empty_with_sections)).bytes, bytes);
    EXPECT_EQ(Merge(bytes, BuildPrjFile(empty_without)).bytes, bytes);
  }
}

// ---- Sums beyond 32 bits ----

void ExpectMergeRefused(const PrjSpec& a, const PrjSpec& b, const std::string& fragment) {
  const auto first = BuildPrjFile(a);
  auto second = BuildPrjFile(b);
  const auto second_before = second;
  try {
    MergePrjImages(first, ReadPrjLayout(first), second, ReadPrjLayout(second));
    ADD_FAILURE() << "merged";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
  EXPECT_EQ(second, second_before) << "the second buffer changed";
}

TEST(PrjMerge, IndicesAndCountsBeyondTheLongRangeAreRefused) {
  PrjSpec last_max;
  last_max.Polygon(kLongMax, 0);
  ExpectMergeRefused(last_max, ExampleSecond(),
                     "2147483648 is beyond the largest 32-bit signed value");
  PrjSpec no_polygons;
  no_polygons.ff04 = {{kLongMax, 0}};
  ExpectMergeRefused(no_polygons, ExampleSecond(), "largest among the first file's records");

  PrjSpec first;
  first.Polygon(1, 0);  // shift 2
  PrjSpec high = ExampleSecond();
  high.ff05 = {{kLongMax - 1, 0}};
  ExpectMergeRefused(first, high,
                     "section FF05: the second file's top-level index 2147483646 plus the "
                     "shift 2 gives 2147483648");

  PrjSpec negative_shift;
  negative_shift.Polygon(-3, 0);  // shift -2
  PrjSpec low = ExampleSecond();
  low.ff08 = Records{{kLongMin + 1, 0}};
  ExpectMergeRefused(negative_shift, low, "section FF08: the second file's top-level index");

  // A shift that stays in range everywhere is fine even with large indices.
  high.ff05 = {{kLongMax - 2, 0}};
  EXPECT_EQ(ReadPrjLayout(Merge(first, high).bytes)[Kind::kFF05].max_index, kLongMax);

  // Count fields of FF01, FF02 and FF07 are not checked against the records, but their sums
  // must still fit.
  PrjSpec big_count = ExampleFirst();
  big_count.count_fields[6] = kLongMax - 1;
  ExpectMergeRefused(big_count, ExampleSecond(),
                     "section FF07: the merged count 2147483646 + 2 = 2147483648");
}

TEST(PrjMerge, WarnsWhenAPolygonCountFieldOfTheFirstFileDisagrees) {
  PrjSpec a = ExampleFirst();
  a.count_fields[1] = 9;
  const Merged m = Merge(a, ExampleSecond());
  ASSERT_EQ(m.warnings.size(), 1u);
  EXPECT_NE(m.warnings[0].find("section FF01"), std::string::npos) << m.warnings[0];
  EXPECT_EQ(ReadPrjLayout(m.bytes)[Kind::kFF01].count_field, 11);
}

TEST(PrjMerge, AddsTheSecondFilesPolygonCountNotItsOwnCountFields) {
  // The second file has 2 polygons; its FF01, FF02 and FF07 count fields say otherwise.
  struct Case {
    std::size_t block;  // index into count_fields, in file order
    std::int32_t count_field;
  };
  for (const Case& c : {Case{1, 7}, Case{2, 0}, Case{6, -4}, Case{6, kLongMax}}) {
    SCOPED_TRACE(testing::Message() << "block " << c.block << ", count " << c.count_field);
    PrjSpec second = ExampleSecond();
    second.count_fields[c.block] = c.count_field;
    const Merged m = Merge(ExampleFirst(), second);
    EXPECT_TRUE(m.warnings.empty());
    const PrjLayout layout = ReadPrjLayout(m.bytes);
    for (Kind k : {Kind::kLeading, Kind::kFF01, Kind::kFF02, Kind::kFF07}) {
      EXPECT_EQ(layout[k].count_field, 5) << BlockName(k);
    }
    EXPECT_EQ(m.bytes, BuildPrjFile(Combined(ExampleFirst(), ExampleSecond(), 2)));
  }
}

}  // namespace
}  // namespace durvane::merge
