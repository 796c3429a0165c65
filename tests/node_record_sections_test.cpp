// Sections FF03, FF04, FF05 and FF08: direct children of top-level nodes by type.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/support/prj_bytes.h"

namespace durvane {
namespace {

using namespace fixture;

std::vector<std::int32_t> Values(std::int32_t first, int count) {
  std::vector<std::int32_t> v(count);
  std::iota(v.begin(), v.end(), first);
  return v;
}

// The offsets of the node record sections in a file without polygons.
struct Sections {
  std::size_t ff03, ff04, ff05, ff07, ff08;
};

Sections Locate(const std::vector<std::byte>& prj) {
  Sections s{};
  s.ff03 = 4 + 8 + 8;
  s.ff04 = s.ff03 + 8 + 20 * static_cast<std::size_t>(LongAt(prj, s.ff03 + 4));
  // FF04 and FF05 records cannot be counted from their count fields; step by tags instead.
  std::size_t at = s.ff04 + 8;
  while (LongAt(prj, at) != 0xFF05) at += 76;
  s.ff05 = at;
  at += 8;
  while (LongAt(prj, at) != 0xFF07) at += 52;
  s.ff07 = at;
  s.ff08 = at + 8;
  return s;
}

TEST(NodeRecordSections, RecordsFollowTheWalkAndCopyTheirValueRuns) {
  OptBuilder b;
  const int a22 = RecordNode(b, 22, Values(100, 4));
  const int b22 = RecordNode(b, 22, Values(200, 4));
  const int a25 = RecordNode(b, 25, Values(300, 18));
  const int a23 = RecordNode(b, 23, Values(400, 12));
  const int a28 = RecordNode(b, 28, Values(500, 18));  // node offset 24 holds 500: not copied
  const int deep22 = RecordNode(b, 22, Values(900, 4));
  fixture::Bytes holder_payload;
  holder_payload.Address(Ref::To(deep22));
  const int holder = b.Node({.type = 5, .child_count = 1}, holder_payload);
  const int top1 = TopLevelNode(b, {Ref::To(a22), Ref::Null(), Ref::To(b22), Ref::To(a25),
                                    Ref::To(a23), Ref::To(a28), Ref::To(holder)});
  const int b25 = RecordNode(b, 25, Values(600, 18));
  const int b23 = RecordNode(b, 23, Values(700, 12));
  const int top2 = TopLevelNode(b, {Ref::To(b25), Ref::To(b23), Ref::To(a28)});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  std::vector<std::string> warnings;
  const auto prj = ConvertToPrj(b.Build(), &warnings);
  EXPECT_TRUE(warnings.empty());
  const Sections s = Locate(prj);

  // FF03: two records of top-level entry 1, in child-list order; the deep node gives none.
  EXPECT_EQ(LongAt(prj, s.ff03 + 4), 2);
  EXPECT_EQ(LongAt(prj, s.ff03 + 8), 0);
  EXPECT_EQ(LongAt(prj, s.ff03 + 12), 100);
  EXPECT_EQ(LongAt(prj, s.ff03 + 24), 103);
  EXPECT_EQ(LongAt(prj, s.ff03 + 28), 0);
  EXPECT_EQ(LongAt(prj, s.ff03 + 32), 200);

  // FF04 and FF05: count field NodeCount, record m from top-level entry m.
  EXPECT_EQ(LongAt(prj, s.ff04 + 4), 2);
  EXPECT_EQ(s.ff05, s.ff04 + 8 + 2 * 76);
  EXPECT_EQ(LongAt(prj, s.ff04 + 8 + 76), 1);
  EXPECT_EQ(LongAt(prj, s.ff04 + 8 + 76 + 4), 600);
  EXPECT_EQ(LongAt(prj, s.ff04 + 8 + 76 + 72), 617);
  EXPECT_EQ(LongAt(prj, s.ff05 + 4), 2);
  EXPECT_EQ(s.ff07, s.ff05 + 8 + 2 * 52);
  EXPECT_EQ(LongAt(prj, s.ff05 + 8 + 48), 411);

  // FF08: the shared node appears under both entries; its run starts at node offset 28.
  EXPECT_EQ(LongAt(prj, s.ff08 + 4), 2);
  EXPECT_EQ(LongAt(prj, s.ff08 + 8), 0);
  EXPECT_EQ(LongAt(prj, s.ff08 + 12), 501);
  EXPECT_EQ(LongAt(prj, s.ff08 + 8 + 68), 517);
  EXPECT_EQ(LongAt(prj, s.ff08 + 8 + 72), 1);
  EXPECT_EQ(prj.size(), s.ff08 + 8 + 2 * 72);
}

TEST(NodeRecordSections, RecordCountsOtherThanNodeCountWarnButKeepTheCountField) {
  OptBuilder b;
  const int top1 = TopLevelNode(
      b, {Ref::To(RecordNode(b, 25, Values(1, 18))), Ref::To(RecordNode(b, 25, Values(1, 18)))});
  const int top2 = TopLevelNode(b, {});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  std::vector<std::string> warnings;
  const auto prj = ConvertToPrj(b.Build(), &warnings);
  const Sections s = Locate(prj);
  EXPECT_EQ(LongAt(prj, s.ff04 + 4), 2);  // NodeCount, although two records are both entry 1's
  EXPECT_EQ(LongAt(prj, s.ff04 + 8), 0);
  EXPECT_EQ(LongAt(prj, s.ff04 + 8 + 76), 0);
  ASSERT_EQ(warnings.size(), 1u);  // FF04 matches NodeCount by number; FF05 holds none
  EXPECT_NE(warnings[0].find("FF05 holds 0 record(s)"), std::string::npos) << warnings[0];
}

}  // namespace
}  // namespace durvane
