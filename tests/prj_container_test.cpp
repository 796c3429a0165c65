// The PRJ container: block order, tags, count fields and the file's end.
#include <gtest/gtest.h>

#include "prj/prj_layout.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(PrjContainer, NoNodesGivesTheSixtyByteFile) {
  OptBuilder b;
  const auto prj = ConvertToPrj(b.Build());
  ByteSink expected;
  expected.Long(0);
  for (std::int32_t tag : {0xFF01, 0xFF02, 0xFF03, 0xFF04, 0xFF05, 0xFF07, 0xFF08}) {
    expected.Long(tag);
    expected.Long(0);
  }
  ASSERT_EQ(prj.size(), 60u);
  EXPECT_EQ(prj, std::vector<std::byte>(expected.bytes().begin(), expected.bytes().end()));
}

TEST(PrjContainer, NodesWithoutPolygonsGiveEmptyPolygonBlocks) {
  OptBuilder b;
  const int verts = VertexList(b, {{1, 2, 3}});
  const int top = TopLevelNode(b, {Ref::To(verts)});
  b.TopLevel({Ref::To(top), Ref::To(top)});
  const auto prj = ConvertToPrj(b.Build());
  // Leading 0; FF01 0; FF02 0; FF03 0; FF04 NodeCount 2; FF05 2; FF07 0; FF08 0.
  const std::int32_t expected[] = {0, 0xFF01, 0, 0xFF02, 0, 0xFF03, 0, 0xFF04,
                                   2, 0xFF05, 2, 0xFF07, 0, 0xFF08, 0};
  ASSERT_EQ(prj.size(), sizeof expected);
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(LongAt(prj, 4 * i), expected[i]);
}

// Count fields hold their final values even when record values look like tags, and the counts
// land in the FF03 and FF08 sections' own count fields.
TEST(PrjContainer, TagValuedNumbersDoNotDivertTheCounts) {
  OptBuilder b;
  const float tag_ff03 = [] {
    float f;
    const std::int32_t bits = 0xFF03;
    std::memcpy(&f, &bits, 4);
    return f;
  }();
  const int verts = VertexList(b, {{tag_ff03, tag_ff03, tag_ff03}});
  const int pairs = PairList(b, {{tag_ff03, tag_ff03}});
  const int polys = PolygonList(
      b, {{{0, 0, 0, -1}, {0, 0, 0, -1}, {0xFF08, 0xFF03, 0xFF08}, {0xFF03, 0xFF08, 0, 0, 0, 0}}});
  const int n22 = RecordNode(b, 22, {0xFF08, 0xFF03, 0xFF08, 0xFF03});
  const int n22b = RecordNode(b, 22, {0xFF03, 0, 0, 0});
  const int n28 = RecordNode(b, 28, std::vector<std::int32_t>(17, 0xFF08));
  const int top =
      TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(Group(b, {Ref::To(polys)})),
                       Ref::To(n22), Ref::To(n22b), Ref::To(n28)});
  b.TopLevel({Ref::To(top)});
  const auto prj = ConvertToPrj(b.Build());

  const std::size_t ff01 = 4 + 52;
  const std::size_t ff02 = ff01 + 8 + 36;
  const std::size_t ff03 = ff02 + 8 + 58;  // not a multiple of 4
  ASSERT_EQ(LongAt(prj, ff03), 0xFF03);
  EXPECT_EQ(LongAt(prj, ff03 + 4), 2);
  const std::size_t ff04 = ff03 + 8 + 2 * 20;
  const std::size_t ff05 = ff04 + 8;
  const std::size_t ff07 = ff05 + 8;
  const std::size_t ff08 = ff07 + 8 + 40;
  ASSERT_EQ(LongAt(prj, ff04), 0xFF04);
  ASSERT_EQ(LongAt(prj, ff05), 0xFF05);
  ASSERT_EQ(LongAt(prj, ff07), 0xFF07);
  ASSERT_EQ(LongAt(prj, ff08), 0xFF08);
  EXPECT_EQ(LongAt(prj, ff08 + 4), 1);
  EXPECT_EQ(prj.size(), ff08 + 8 + 72);
  // The tag-valued record values are still in place.
  EXPECT_EQ(LongAt(prj, ff03 + 8 + 4), 0xFF08);
  EXPECT_EQ(LongAt(prj, ff03 + 8 + 8), 0xFF03);
  EXPECT_EQ(LongAt(prj, 4 + 4), 0xFF03);
}

TEST(PrjContainer, FirstLongEqualsThePolygonSectionCounts) {
  const auto prj = ConvertToPrj(SampleModel());
  const std::int32_t polygons = LongAt(prj, 0);
  EXPECT_EQ(polygons, 6);
  const std::size_t ff01 = 4 + 52 * static_cast<std::size_t>(polygons);
  EXPECT_EQ(LongAt(prj, ff01), 0xFF01);
  EXPECT_EQ(LongAt(prj, ff01 + 4), polygons);
  const std::size_t ff02 = ff01 + 8 + 36 * static_cast<std::size_t>(polygons);
  EXPECT_EQ(LongAt(prj, ff02), 0xFF02);
  EXPECT_EQ(LongAt(prj, ff02 + 4), polygons);
}

}  // namespace
}  // namespace durvane
