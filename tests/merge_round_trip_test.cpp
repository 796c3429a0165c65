#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/little_endian.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/in_memory_merge.h"
#include "tests/support/opt_builder.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"

namespace durvane::merge {
namespace {

using namespace prj;

using namespace durvane::fixture;
using Kind = PrjBlockKind;

// A second model unlike the sample: two top-level entries, a four-texture group, one node of
// type 28 and none of type 22, so its FF03 section is empty.
BuiltOpt CanopyModel() {
  OptBuilder b(0x00300008);
  const int vertices = VertexList(b, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 1}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  std::vector<Ref> glass;
  for (const char* name : {"GLASS001", "GLASS002", "GLASS003", "GLASS004"}) {
    glass.push_back(Ref::To(Texture(b, {.name = name})));
  }
  const int panes = TextureGroup(b, glass, 1);
  const int polys1 =
      PolygonList(b, {{{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}},
                      {{1, 2, 3, -1}, {1, 2, 3, -1}, {7, 7, 7}, {1, 1, 1, 1, 1, 1}}});
  const int group1 = Group(b, {Ref::To(panes), Ref::To(polys1)});
  const int top1 = TopLevelNode(b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group1),
                                    Ref::To(RecordNode(b, 25, std::vector<std::int32_t>(18, 5))),
                                    Ref::To(RecordNode(b, 23, std::vector<std::int32_t>(12, 6))),
                                    Ref::To(RecordNode(b, 28, std::vector<std::int32_t>(18, 7)))});
  const int frame = TextureReference(b, "FRAME001");
  const int polys2 = PolygonList(b, {{{3, 2, 1, 0}, {3, 2, 1, 0}, {2, 2, 2}, {3, 3, 3, 3, 3, 3}}});
  const int group2 = Group(b, {Ref::To(frame), Ref::To(polys2)});
  const int top2 = TopLevelNode(b, {Ref::To(vertices), Ref::To(group2),
                                    Ref::To(RecordNode(b, 25, std::vector<std::int32_t>(18, 8))),
                                    Ref::To(RecordNode(b, 23, std::vector<std::int32_t>(12, 9)))});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  return b.Build();
}

std::vector<std::byte> MergeInMemory(const std::vector<std::byte>& first,
                                     std::vector<std::byte> second) {
  return MergePrjImages(first, ReadPrjLayout(first), second, ReadPrjLayout(second)).Flatten();
}

// The records of one block, split at record boundaries.
std::vector<std::span<const std::byte>> RecordsOf(std::span<const std::byte> bytes,
                                                  const PrjLayout& layout, Kind kind) {
  std::vector<std::span<const std::byte>> records;
  const PrjBlock& block = layout[kind];
  const ByteView view(bytes);
  std::uint64_t at = block.records_offset;
  for (std::int64_t r = 0; r < block.record_count; ++r) {
    const std::uint64_t length =
        kind == Kind::kFF02 ? FF02RecordBytes(view, at) : BlockRecordBytes(kind);
    records.push_back(bytes.subspan(at, length));
    at += length;
  }
  EXPECT_EQ(at, block.end) << BlockName(kind);
  return records;
}

// Checks every block of `merged` against the two inputs: the first file's records unchanged,
// then the second file's with only their top-level index raised by `shift`, and count fields
// summed.
void ExpectMergedBlocks(const std::vector<std::byte>& first, const std::vector<std::byte>& second,
                        const std::vector<std::byte>& merged, std::int32_t shift) {
  const PrjLayout a = ReadPrjLayout(first), b = ReadPrjLayout(second), m = ReadPrjLayout(merged);
  for (Kind kind : kPrjBlockOrder) {
    SCOPED_TRACE(std::string(BlockName(kind)));
    const auto ra = RecordsOf(first, a, kind), rb = RecordsOf(second, b, kind),
               rm = RecordsOf(merged, m, kind);
    ASSERT_EQ(rm.size(), ra.size() + rb.size());
    EXPECT_EQ(m[kind].count_field, a[kind].count_field + b[kind].count_field);
    for (std::size_t r = 0; r < ra.size(); ++r) {
      EXPECT_TRUE(std::ranges::equal(rm[r], ra[r])) << "first file's record " << r;
    }
    for (std::size_t r = 0; r < rb.size(); ++r) {
      const auto& got = rm[ra.size() + r];
      ASSERT_EQ(got.size(), rb[r].size());
      EXPECT_EQ(LoadI32(got.data()), LoadI32(rb[r].data()) + shift) << "second's record " << r;
      EXPECT_TRUE(std::ranges::equal(got.subspan(4), rb[r].subspan(4))) << "second's record " << r;
    }
  }
}

TEST(MergeRoundTrip, TwoConvertedModelsMergeBlockByBlock) {
  const auto sample = ConvertToPrj(SampleModel());
  const auto canopy = ConvertToPrj(CanopyModel());
  ASSERT_EQ(ReadPrjLayout(canopy)[Kind::kFF03].record_count, 0);
  ASSERT_EQ(ReadPrjLayout(sample).polygon_count(), 6);

  // The sample's last polygon is under top-level entry 3 (index 2); the canopy's under 2.
  ExpectMergedBlocks(sample, canopy, MergeInMemory(sample, canopy), 3);
  ExpectMergedBlocks(canopy, sample, MergeInMemory(canopy, sample), 2);
  ExpectMergedBlocks(sample, sample, MergeInMemory(sample, sample), 3);
}

TEST(MergeRoundTrip, MergingThreeModelsInEitherOrderOfPairsGivesTheSameFile) {
  const auto sample = ConvertToPrj(SampleModel());
  const auto canopy = ConvertToPrj(CanopyModel());
  const auto left = MergeInMemory(MergeInMemory(sample, canopy), sample);
  const auto right = MergeInMemory(sample, MergeInMemory(canopy, sample));
  EXPECT_EQ(left, right);
  ExpectMergedBlocks(MergeInMemory(sample, canopy), sample, left, 5);
}

}  // namespace
}  // namespace durvane::merge
