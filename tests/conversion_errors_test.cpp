// Invalid OPT files: each fails with a message naming what was wrong and where, and the
// conversion then writes nothing at all.
#include <gtest/gtest.h>

#include <cstring>

#include "core/error.h"
#include "core/little_endian.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

// Converts `bytes` as bad.opt into an empty QEL directory; returns the error message and checks
// that nothing was created.
std::string ConversionError(const std::vector<std::byte>& bytes) {
  TempDir in, qel;
  WriteBytes(in / "bad.opt", bytes);
  try {
    RunConversion(qel.path(), in.path(), "bad.opt");
  } catch (const Error& e) {
    EXPECT_TRUE(ListTree(qel.path()).empty()) << "a failed conversion left files behind";
    return e.what();
  }
  ADD_FAILURE() << "the conversion succeeded";
  return {};
}

// A minimal valid model: one vertex list, one pair list and `rows` under a group.
BuiltOpt Model(std::vector<PolygonRow> rows, bool vertices_first = true,
               std::vector<Vertex> vertices = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}) {
  OptBuilder b;
  const int verts = VertexList(b, vertices);
  const int pairs = PairList(b, {{0, 0}, {1, 1}, {2, 2}});
  const int group = Group(b, {Ref::To(PolygonList(b, rows))});
  const int top = vertices_first
                      ? TopLevelNode(b, {Ref::To(verts), Ref::To(pairs), Ref::To(group)})
                      : TopLevelNode(b, {Ref::To(pairs), Ref::To(group), Ref::To(verts)});
  b.TopLevel({Ref::To(top)});
  return b.Build();
}

void ExpectContains(const std::string& message, const std::string& part) {
  EXPECT_NE(message.find(part), std::string::npos) << "message: " << message;
}

TEST(ConversionErrors, HeaderAndTopLevelTable) {
  std::vector<std::byte> tiny(10);
  ExpectContains(ConversionError(tiny),
                 "offset 0x8: the base address would end at 0xc, but the file ends at 0xa");

  OptBuilder b;
  b.OverrideNodeCount(3);
  b.TopLevel({Ref::Raw(0)});
  ExpectContains(ConversionError(b.Build().bytes),
                 "offset 0x16: the top-level table of 3 entries would end at 0x22, but the file "
                 "ends at 0x1a");

  OptBuilder negative;
  negative.OverrideNodeCount(-1);
  ExpectContains(ConversionError(negative.Build().bytes), "NodeCount is -1, below 0");

  OptBuilder huge;
  huge.OverrideNodeCount(0x7fffffff);
  ExpectContains(ConversionError(huge.Build().bytes), "the top-level table of 2147483647 entries");
}

TEST(ConversionErrors, AddressesOutsideTheFile) {
  OptBuilder below;
  below.TopLevel({Ref::Raw(0x100)});  // OptBase is 0x10000
  ExpectContains(
      ConversionError(below.Build().bytes),
      "offset 0x16: top-level entry 1: the top-level table entry holds the address 0x100, "
      "below OptBase 0x10000");

  // An address below OptBase in a child list is named at the offset it was read from.
  OptBuilder child;
  child.TopLevel({Ref::To(TopLevelNode(child, {Ref::Raw(0x100)}))});
  const std::vector<std::byte> child_bytes = child.Build().bytes;
  const std::string child_message = ConversionError(child_bytes);
  ExpectContains(child_message, "child list entry holds the address 0x100, below OptBase 0x10000");
  const std::uint64_t read_at =
      std::stoull(child_message.substr(std::strlen("offset ")), nullptr, 16);
  ASSERT_LE(read_at + 4, child_bytes.size());
  EXPECT_EQ(LoadI32(child_bytes.data() + read_at), 0x100);

  OptBuilder past;
  const int top = TopLevelNode(past, {});
  past.TopLevel({Ref::To(top, 20)});  // the node's ChildCount would lie past the end
  ExpectContains(ConversionError(past.Build().bytes), "ChildCount at node offset 0x8");
  ExpectContains(ConversionError(past.Build().bytes), "but the file ends at");

  OptBuilder children;
  const int liar = children.Node({.type = 0, .child_count = 0x7fffffff});
  children.TopLevel({Ref::To(liar)});
  ExpectContains(ConversionError(children.Build().bytes), "the child list of 2147483647 entries");
}

TEST(ConversionErrors, PolygonRowsAndCornerIndices) {
  ExpectContains(ConversionError(Model({{{0, 1, 2, -1}}}, /*vertices_first=*/false).bytes),
                 "polygon row 0 of the polygon list node at address");
  ExpectContains(ConversionError(Model({{{0, 1, 2, -1}}}, false).bytes),
                 "the polygon comes before any vertex list node");
  ExpectContains(ConversionError(Model({{{0, 1, 2, -1}}, {{0, 3, 1, 2}}}).bytes),
                 "top-level entry 1: polygon row 1 of the polygon list");
  ExpectContains(ConversionError(Model({{{0, 1, 2, -1}}, {{0, 3, 1, 2}}}).bytes),
                 "vertex index 2 is 3, outside the vertex table of 3 rows");
  ExpectContains(ConversionError(Model({{{0, 1, 2, -2}}}).bytes), "vertex index 4 is -2");
  ExpectContains(ConversionError(Model({{{0, 1, 2, -1}, {0, 1, 5, -1}}}).bytes),
                 "pair index 3 is 5, outside the pair table of 3 rows");
  // A vertex list with DataCount 0 gives an empty table: every index lies outside it.
  ExpectContains(ConversionError(Model({{{0, 0, 0, -1}}}, true, {}).bytes),
                 "outside the vertex table of 0 rows");
}

TEST(ConversionErrors, PolygonListCounts) {
  BuiltOpt model = Model({{{0, 1, 2, -1}}});
  // Find the polygon list node (type 1) and change its DataCount.
  auto set_polygon_data_count = [&](std::int32_t value) {
    std::vector<std::byte> bytes = model.bytes;
    for (std::size_t off : model.offsets) {
      if (off + 24 <= bytes.size() && LongAt(bytes, off + 4) == 1 && LongAt(bytes, off + 16) == 1) {
        StoreI32(bytes.data() + off + 16, value);
        return bytes;
      }
    }
    ADD_FAILURE() << "no polygon list node";
    return bytes;
  };
  ExpectContains(ConversionError(set_polygon_data_count(-1)), "has DataCount -1, below 0");
  ExpectContains(ConversionError(set_polygon_data_count(0x7fffffff)),
                 "the 2147483647 polygon rows and trailing tables at node offset 0x1c");
  // A file cut inside the trailing tables.
  std::vector<std::byte> cut = model.bytes;
  cut.resize(cut.size() - 8);
  EXPECT_FALSE(ConversionError(cut).empty());
}

// Every prefix of a valid file either converts or fails cleanly; none reads outside it.
TEST(ConversionErrors, EveryPrefixOfTheSampleFailsCleanly) {
  const std::vector<std::byte> sample = ReadBytes(DURVANE_SOURCE_DIR "/examples/sample.opt");
  ASSERT_GT(sample.size(), 1000u);
  for (std::size_t n = 0; n < sample.size(); ++n) {
    const std::span<const std::byte> prefix(sample.data(), n);
    EXPECT_THROW(ConvertOpt(prefix), Error) << "prefix of " << n << " bytes";
  }
  EXPECT_NO_THROW(ConvertOpt(sample));
}

}  // namespace
}  // namespace durvane
