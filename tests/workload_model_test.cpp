#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "opt/opt_image.h"
#include "prj/prj_builder.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

fixture::WorkloadShape SmallShape(std::uint64_t seed) {
  fixture::WorkloadShape shape = fixture::MediumModelShape(seed);
  shape.top_level_nodes = 12;
  shape.polygons_per_list = 25;
  return shape;
}

TEST(WorkloadModel, SameSeedSameBytesOtherSeedOtherBytes) {
  const auto a = fixture::WorkloadModel(SmallShape(5));
  const auto b = fixture::WorkloadModel(SmallShape(5));
  const auto c = fixture::WorkloadModel(SmallShape(6));
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_NE(a.bytes, c.bytes);
}

TEST(WorkloadModel, ConvertsCleanlyWithTheShapeAskedFor) {
  const fixture::WorkloadShape shape = SmallShape(9);
  const auto model = fixture::WorkloadModel(shape);
  const opt::OptImage image(model.bytes);
  std::vector<std::string> warnings;
  const prj::PrjImage prj = prj::BuildPrj(image, warnings);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_EQ(image.NodeCount(), shape.top_level_nodes);
  EXPECT_EQ(prj.polygon_count,
            shape.top_level_nodes * shape.lists_per_node * shape.polygons_per_list);
  // One node of each record type under every top-level node.
  EXPECT_EQ(prj.ff03_count, shape.top_level_nodes);
  EXPECT_EQ(prj.ff08_count, shape.top_level_nodes);
  // Both kinds of FF02 record occur: textures named one at a time and in groups of four.
  const auto ff02 = prj.ff02.bytes();
  int one = 0, four = 0;
  for (std::size_t at = 8; at + 5 <= ff02.size();) {
    const bool group = ff02[at + 4] == std::byte{1};
    (group ? four : one)++;
    at += group ? 97 : 58;
  }
  EXPECT_EQ(one + four, prj.polygon_count);
  EXPECT_GT(one, 0);
  EXPECT_GT(four, 0);
}

}  // namespace
}  // namespace durvane
