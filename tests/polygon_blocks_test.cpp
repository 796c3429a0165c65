// The four polygon blocks: leading block, FF01, FF02 and FF07 walk the same polygons.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/prj_bytes.h"

namespace durvane {
namespace {

using namespace fixture;

std::vector<std::byte> Block(const std::vector<std::byte>& prj, std::size_t from, std::size_t n) {
  return {prj.begin() + static_cast<std::ptrdiff_t>(from),
          prj.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

int CountContaining(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const auto& l : lines) n += l.find(text) != std::string::npos;
  return n;
}

std::vector<std::byte> SinkBytes(const ByteSink& s) {
  return {s.bytes().begin(), s.bytes().end()};
}

TEST(LeadingBlock, WorkedExampleTriangle) {
  OptBuilder b;
  const int verts = VertexList(b, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const int polys = PolygonList(b, {{{2, 0, 1, -1}, {0, 0, 0, -1}}});
  const int pairs = PairList(b, {{0, 0}});
  const int top =
      TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(Group(b, {Ref::To(polys)}))});
  b.TopLevel({Ref::To(top)});
  const auto prj = ConvertToPrj(b.Build());

  ByteSink expected;
  expected.Long(1);
  expected.Long(0);
  Singles(expected, {7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(Block(prj, 0, 56), SinkBytes(expected));
}

TEST(LeadingBlock, QuadsUseTheFourthVertexAndLaterEntriesUseEarlierTables) {
  OptBuilder b;
  const int verts = VertexList(b, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}});
  const int pairs = PairList(b, {{0, 0}});
  const int quad = PolygonList(b, {{{0, 1, 2, 3}, {0, 0, 0, 0}}});
  const int top1 = TopLevelNode(b, {Ref::To(verts), Ref::To(pairs)});
  const int top2 = TopLevelNode(b, {Ref::Null(), Ref::To(Group(b, {Ref::To(quad)}))});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  const auto prj = ConvertToPrj(b.Build());

  ByteSink expected;
  expected.Long(1);
  expected.Long(1);  // found under the second top-level entry
  Singles(expected, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4});
  EXPECT_EQ(Block(prj, 0, 56), SinkBytes(expected));
}

TEST(LeadingBlock, SinglesAreCopiedBitForBit) {
  OptBuilder b;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const int verts = VertexList(b, {{nan, -0.0f, inf}});
  const int pairs = PairList(b, {{-0.0f, nan}});
  const int polys = PolygonList(b, {{{0, 0, 0, -1}, {0, 0, 0, -1}}});
  const int top =
      TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(Group(b, {Ref::To(polys)}))});
  b.TopLevel({Ref::To(top)});
  const auto prj = ConvertToPrj(b.Build());
  EXPECT_EQ(LongAt(prj, 8), Bits(nan));
  EXPECT_EQ(LongAt(prj, 12), Bits(-0.0f));
  EXPECT_EQ(LongAt(prj, 16), Bits(inf));
  EXPECT_EQ(LongAt(prj, 56 + 8 + 4), Bits(-0.0f));
  EXPECT_EQ(LongAt(prj, 56 + 8 + 8), Bits(nan));
}

// A group whose ChildCount is not 1, 3 or 4 selects the node at its DataAddress; 3 and 4
// select the last entry of the in-place list.
TEST(PolygonWalk, GroupSelectionByChildCount) {
  for (std::int32_t child_count : {1, 2, 3, 4, 5, 0}) {
    OptBuilder b;
    const int verts = VertexList(b, {{1, 1, 1}, {2, 2, 2}});
    const int pairs = PairList(b, {{0, 0}});
    const int wanted = PolygonList(b, {{{1, 1, 1, -1}, {0, 0, 0, -1}}});
    const int decoy = PolygonList(b, {{{0, 0, 0, -1}, {0, 0, 0, -1}}});
    const int p_wanted = TopLevelNode(b, {Ref::To(wanted)});
    const int p_decoy = TopLevelNode(b, {Ref::To(decoy)});
    const int s_wanted = SelectedNode(b, Ref::To(p_wanted));
    const int s_decoy = SelectedNode(b, Ref::To(p_decoy));
    fixture::Bytes payload;
    const bool last_entry = child_count == 1 || child_count == 3 || child_count == 4;
    const int entries = std::max(child_count, 4);
    for (int e = 1; e <= entries; ++e) {
      payload.Address(last_entry && e == child_count ? Ref::To(s_wanted) : Ref::To(s_decoy));
    }
    const int group = b.Node({.type = 0,
                              .child_count = child_count,
                              .data_address = last_entry ? Ref::To(s_decoy) : Ref::To(s_wanted)},
                             payload);
    const int top = TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(group)});
    b.TopLevel({Ref::To(top)});
    const auto prj = ConvertToPrj(b.Build());
    SCOPED_TRACE(child_count);
    ASSERT_EQ(LongAt(prj, 0), 1);
    EXPECT_EQ(LongAt(prj, 8), Bits(2));  // vertex row 1: the wanted polygon list
  }
}

TEST(SectionFF01, PairsFollowTheirOwnIndicesAndTheLatestPairList) {
  OptBuilder b;
  std::vector<Pair> ten;
  for (int i = 0; i < 10; ++i) ten.push_back({static_cast<float>(i), static_cast<float>(-i)});
  const int verts = VertexList(b, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  const int pairs = PairList(b, ten);
  const int later_pairs = PairList(b, {{100, 100}});
  const int polys = PolygonList(b, {{{0, 1, 2, 3}, {7, 8, 9, -1}}});
  const int polys2 = PolygonList(b, {{{0, 1, 2, -1}, {0, 0, 0, 0}}});
  // The pair list after the group does not affect that group's polygons.
  const int top1 = TopLevelNode(b, {Ref::To(verts), Ref::To(pairs),
                                    Ref::To(Group(b, {Ref::To(polys)})), Ref::To(later_pairs)});
  const int top2 = TopLevelNode(b, {Ref::To(Group(b, {Ref::To(polys2)}))});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  const auto prj = ConvertToPrj(b.Build());

  const std::size_t ff01 = 4 + 2 * 52;
  ByteSink expected;
  expected.Long(0xFF01);
  expected.Long(2);
  expected.Long(0);
  Singles(expected, {7, -7, 8, -8, 9, -9, 7, -7});
  expected.Long(1);
  Singles(expected, {100, 100, 100, 100, 100, 100, 100, 100});
  EXPECT_EQ(Block(prj, ff01, 8 + 2 * 36), SinkBytes(expected));
}

TEST(SectionFF07, TrailingTablesAreLocatedFromEachNodesDataCount) {
  OptBuilder b;
  const int verts = VertexList(b, {{0, 0, 0}});
  const int pairs = PairList(b, {{0, 0}});
  const int two =
      PolygonList(b, {
                         {{0, 0, 0, -1}, {0, 0, 0, -1}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}},
                         {{0, 0, 0, -1}, {0, 0, 0, -1}, {11, 12, 13}, {14, 15, 16, 17, 18, 19}},
                     });
  const int one =
      PolygonList(b, {{{0, 0, 0, -1}, {0, 0, 0, -1}, {21, 22, 23}, {24, 25, 26, 27, 28, 29}}});
  const int top = TopLevelNode(b, {Ref::To(verts), Ref::To(pairs),
                                   Ref::To(Group(b, {Ref::To(two), Ref::Null(), Ref::To(one)}))});
  b.TopLevel({Ref::To(top)});
  const auto built = b.Build();
  const auto prj = ConvertToPrj(built);

  // Row 1 of a node with DataCount 2: first table at node offset 168, second at 204.
  const std::size_t node = built.OffsetOf(two);
  EXPECT_EQ(LongAt(built.bytes, node + 168), 11);
  EXPECT_EQ(LongAt(built.bytes, node + 204), 14);

  const std::size_t ff07 = prj.size() - 8 - 3 * 40 - 8;  // only FF08's 8 bytes follow FF07
  ByteSink expected;
  expected.Long(0xFF07);
  expected.Long(3);
  for (std::int32_t base : {0, 10, 20}) {
    expected.Long(0);
    for (std::int32_t v = base + 1; v <= base + 9; ++v) expected.Long(v);
  }
  const std::size_t at = 4 + 3 * 52 + 8 + 3 * 36 + 8 + 3 * 58 + 8 + 8 + 8;
  EXPECT_EQ(at, ff07);
  EXPECT_EQ(Block(prj, at, 8 + 3 * 40), SinkBytes(expected));
}

// FF02: texture nodes, references and groups set the current texture for later polygons.
class SectionFF02 : public ::testing::Test {
 protected:
  // One top-level entry whose group's P holds `p_children` and one polygon list per
  // `polygons_after` marker (Ref::Raw(-7)).
  std::vector<std::byte> Convert(OptBuilder& b, std::vector<Ref> p_children,
                                 std::vector<std::string>* warnings = nullptr) {
    const int verts = VertexList(b, {{0, 0, 0}});
    const int pairs = PairList(b, {{0, 0}});
    for (Ref& r : p_children) {
      if (r.piece < 0 && r.raw == -7) r = Ref::To(PolygonList(b, {{{0, 0, 0, -1}, {0, 0, 0, -1}}}));
    }
    const int top =
        TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(Group(b, p_children))});
    b.TopLevel({Ref::To(top)});
    const auto prj = ConvertToPrj(b.Build(), warnings);
    const auto polygons = static_cast<std::size_t>(LongAt(prj, 0));
    const std::size_t ff02 = 4 + polygons * 52 + 8 + polygons * 36;
    EXPECT_EQ(LongAt(prj, ff02), 0xFF02);
    std::size_t end = ff02 + 8;
    while (LongAt(prj, end) != 0xFF03) ++end;
    return Block(prj, ff02 + 8, end - ff02 - 8);
  }

  static std::vector<std::byte> Record(std::int32_t index, std::vector<std::string> names) {
    ByteSink s;
    s.Long(index);
    s.Byte(names.size() == 4 ? 1 : 0);
    for (const auto& n : names) {
      s.Byte(12);
      for (std::byte c : NameBytes(n)) s.Byte(static_cast<std::uint8_t>(c));
      s.Append(std::string_view(".BMP"));
    }
    s.Zeros(40);
    return SinkBytes(s);
  }

  static std::vector<std::byte> Join(std::vector<std::vector<std::byte>> parts) {
    std::vector<std::byte> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }

  static Ref Polygon() { return Ref::Raw(-7); }
};

TEST_F(SectionFF02, TextureNodesAndReferencesGiveOneName) {
  OptBuilder b;
  TextureSpec b_layout;
  b_layout.name = "LAYOUTB1";
  b_layout.layout = TextureLayout::B;
  const auto ff02 = Convert(b, {Ref::To(TextureReference(b, "REF00001")), Polygon(),
                                Ref::To(Texture(b, b_layout)), Polygon()});
  EXPECT_EQ(ff02, Join({Record(0, {"REF00001"}), Record(0, {"LAYOUTB1"})}));
  EXPECT_EQ(Record(0, {"X"}).size(), 58u);
}

TEST_F(SectionFF02, TextureGroupsNameOneOrFourTextures) {
  OptBuilder b;
  auto tex = [&](const char* name) {
    TextureSpec t;
    t.name = name;
    return Ref::To(Texture(b, t));
  };
  const Ref single = Ref::To(TextureGroup(b, {tex("ONLY0001")}, 0));
  const Ref four = Ref::To(TextureGroup(b, {tex("A"), tex("B"), tex("C"), tex("D")}, 0));
  const Ref six =
      Ref::To(TextureGroup(b, {tex("E"), tex("F"), tex("G"), tex("H"), tex("I"), tex("J")}, 0));
  const Ref two = Ref::To(TextureGroup(b, {tex("K"), Ref::Null()}, 0));
  // ChildCount 2, with real textures in entries 3 and 4 as well: only the first two count.
  Bytes two_of_four;
  for (const char* name : {"L", "M", "N", "O"}) two_of_four.Address(tex(name));
  const Ref two_counted = Ref::To(b.Node({.type = 24, .child_count = 2}, two_of_four));
  const Ref after = tex("AFTER");
  const auto ff02 = Convert(b, {single, Polygon(), four, Polygon(), six, Polygon(), two, Polygon(),
                                two_counted, Polygon(), after, Polygon()});
  EXPECT_EQ(ff02, Join({Record(0, {"ONLY0001"}), Record(0, {"A", "B", "C", "D"}),
                        Record(0, {"E", "F", "G", "H"}),
                        // Two entries, the second 0: names 2 to 4 keep their values.
                        Record(0, {"K", "F", "G", "H"}),
                        // Entries past ChildCount are not followed, whatever they hold.
                        Record(0, {"L", "M", "G", "H"}),
                        // A texture node after a group falls back to one entry.
                        Record(0, {"AFTER"})}));
  EXPECT_EQ(Record(0, {"A", "B", "C", "D"}).size(), 97u);
}

TEST_F(SectionFF02, PolygonsBeforeAnyTextureGetZeroNamesAndAWarning) {
  OptBuilder b;
  std::vector<std::string> warnings;
  const auto ff02 =
      Convert(b, {Polygon(), Ref::To(TextureReference(b, "LATER001")), Polygon()}, &warnings);
  EXPECT_EQ(ff02, Join({Record(0, {std::string(8, '\0')}), Record(0, {"LATER001"})}));
  EXPECT_EQ(CountContaining(warnings, "before any texture"), 1);
}

TEST_F(SectionFF02, TexturesOutsideTheListOfPDoNotCount) {
  OptBuilder b;
  const int verts = VertexList(b, {{0, 0, 0}});
  const int pairs = PairList(b, {{0, 0}});
  const int polys = PolygonList(b, {{{0, 0, 0, -1}, {0, 0, 0, -1}}});
  const int top = TopLevelNode(b, {Ref::To(TextureReference(b, "TOPLEVEL")), Ref::To(verts),
                                   Ref::To(pairs), Ref::To(Group(b, {Ref::To(polys)}))});
  b.TopLevel({Ref::To(top)});
  std::vector<std::string> warnings;
  const auto prj = ConvertToPrj(b.Build(), &warnings);
  EXPECT_EQ(CountContaining(warnings, "before any texture"), 1);
  EXPECT_EQ(Block(prj, 4 + 52 + 8 + 36 + 8, 58), Record(0, {std::string(8, '\0')}));
}

}  // namespace
}  // namespace durvane
