#include "tests/support/workload_model.h"

#include <cstdio>
#include <string>
#include <vector>

namespace durvane::fixture {
namespace {

// splitmix64: small, fast, and the same sequence on every platform and library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A value in [0, bound).
  std::int32_t Below(std::int32_t bound) {
    return static_cast<std::int32_t>(Next() % static_cast<std::uint64_t>(bound));
  }
  std::int32_t Long() { return static_cast<std::int32_t>(Next() >> 32); }
  float Coordinate() { return static_cast<float>(Below(2000001) - 1000000) / 1000.0f; }

 private:
  std::uint64_t state_;
};

struct DefinedTexture {
  int node;
  std::string name;
  TextureLayout layout;
};

TextureDesc RandomTexture(Random& random, int number, int side) {
  TextureDesc t;
  char name[16];
  std::snprintf(name, sizeof name, "TEX%05d", number % 100000);
  t.name = name;
  t.layout = number % 2 == 0 ? TextureLayout::A : TextureLayout::B;
  t.width = side;
  t.height = side;
  t.pixels.resize(static_cast<std::size_t>(side) * side);
  for (std::size_t i = 0; i < t.pixels.size(); i += 8) {
    const std::uint64_t bits = random.Next();
    for (std::size_t k = 0; k < 8 && i + k < t.pixels.size(); ++k) {
      t.pixels[i + k] = static_cast<std::uint8_t>(bits >> (8 * k));
    }
  }
  for (auto& colour : t.palette) colour = static_cast<std::uint16_t>(random.Next());
  return t;
}

std::vector<PolygonRow> RandomPolygons(Random& random, int count, std::int32_t table_rows) {
  std::vector<PolygonRow> rows(static_cast<std::size_t>(count));
  for (PolygonRow& row : rows) {
    const bool triangle = random.Below(3) == 0;
    for (int c = 0; c < 4; ++c) {
      row.vertices[c] = random.Below(table_rows);
      row.pairs[c] = random.Below(table_rows);
    }
    if (triangle) row.vertices[3] = row.pairs[3] = -1;
    for (auto& v : row.first_trailing) v = random.Long();
    for (auto& v : row.second_trailing) v = random.Long();
  }
  return rows;
}

std::vector<std::int32_t> RandomValues(Random& random, int count) {
  std::vector<std::int32_t> values(static_cast<std::size_t>(count));
  for (auto& v : values) v = random.Long();
  return values;
}

// The texture selector placed before a polygon list that does not open a top-level node:
// nothing (the current texture goes on), a reference by name, or a texture group of four or
// of one. Groups of one name a layout A texture, since the scan reads their child as layout A.
void AddTextureSelector(OptBuilder& b, Random& random, const std::vector<DefinedTexture>& defined,
                        std::vector<Ref>& p_children) {
  if (defined.empty()) return;
  const auto pick = [&] {
    return defined[random.Below(static_cast<std::int32_t>(defined.size()))];
  };
  switch (random.Below(4)) {
    case 1:
      p_children.push_back(Ref::To(TextureReference(b, pick().name)));
      break;
    case 2: {
      std::vector<Ref> four;
      for (int l = 0; l < 4; ++l) four.push_back(Ref::To(pick().node));
      p_children.push_back(Ref::To(TextureGroup(b, four, 1)));
      break;
    }
    case 3: {
      for (int tries = 0; tries < 8; ++tries) {
        const DefinedTexture t = pick();
        if (t.layout != TextureLayout::A) continue;
        p_children.push_back(Ref::To(TextureGroup(b, {Ref::To(t.node)}, 1)));
        break;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

WorkloadShape LargeModelShape(std::uint64_t seed) {
  WorkloadShape shape;
  shape.seed = seed;
  return shape;
}

WorkloadShape MediumModelShape(std::uint64_t seed) {
  WorkloadShape shape;
  shape.seed = seed;
  shape.top_level_nodes = 24;
  shape.lists_per_node = 4;
  shape.polygons_per_list = 480;
  shape.vertices_per_table = 800;
  shape.textures = 8;
  shape.texture_side = 64;
  return shape;
}

WorkloadShape MergePartShape(std::uint64_t seed) {
  WorkloadShape shape;
  shape.seed = seed;
  shape.top_level_nodes = 25;
  shape.textures = 8;
  return shape;
}

BuiltOpt WorkloadModel(const WorkloadShape& shape) {
  Random random(shape.seed);
  OptBuilder b(0x00400008);
  std::vector<DefinedTexture> defined;
  std::vector<Ref> top_level;
  const int n = shape.top_level_nodes;

  for (int t = 0; t < n; ++t) {
    std::vector<Ref> children;
    // Every tenth node has no tables of its own: its polygons use the tables met before.
    if (t % 10 != 5) {
      std::vector<Vertex> vertices(static_cast<std::size_t>(shape.vertices_per_table));
      for (Vertex& v : vertices)
        v = {random.Coordinate(), random.Coordinate(), random.Coordinate()};
      std::vector<Pair> pairs(static_cast<std::size_t>(shape.vertices_per_table));
      for (Pair& p : pairs) p = {random.Coordinate(), random.Coordinate()};
      children.push_back(Ref::To(VertexList(b, vertices)));
      children.push_back(Ref::To(PairList(b, pairs)));
    }

    // New textures are spread over the top-level nodes, the first one in node 0.
    std::vector<Ref> p_children;
    const int defined_after =
        static_cast<int>(((static_cast<std::int64_t>(t) + 1) * shape.textures + n - 1) / n);
    while (static_cast<int>(defined.size()) < defined_after) {
      const int number = static_cast<int>(defined.size());
      const TextureDesc desc = RandomTexture(random, number, shape.texture_side);
      const int node = Texture(b, desc);
      defined.push_back({node, desc.name, desc.layout});
      p_children.push_back(Ref::To(node));
    }
    for (int m = 0; m < shape.lists_per_node; ++m) {
      if (m > 0) AddTextureSelector(b, random, defined, p_children);
      p_children.push_back(Ref::To(PolygonList(
          b, RandomPolygons(random, shape.polygons_per_list, shape.vertices_per_table))));
    }
    children.push_back(Ref::To(Group(b, p_children)));
    children.push_back(Ref::Null());
    children.push_back(Ref::To(RecordNode(b, 22, RandomValues(random, 4))));
    children.push_back(Ref::To(RecordNode(b, 25, RandomValues(random, 18))));
    children.push_back(Ref::To(RecordNode(b, 23, RandomValues(random, 12))));
    children.push_back(Ref::To(RecordNode(b, 28, RandomValues(random, 18))));
    top_level.push_back(Ref::To(TopLevelNode(b, children)));
  }
  b.TopLevel(top_level);
  return b.Build();
}

}  // namespace durvane::fixture
