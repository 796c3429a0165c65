#include "tests/support/sample_model.h"

namespace durvane::fixture {
namespace {

// `count` consecutive values from `first`: the payload of a record node.
std::vector<std::int32_t> Run(std::int32_t first, int count) {
  std::vector<std::int32_t> values;
  for (int i = 0; i < count; ++i) values.push_back(first + i);
  return values;
}

}  // namespace

BuiltOpt SampleModel() {
  OptBuilder b(0x00A00008);

  // Top-level 1: vertices, pairs, a quad and a triangle under a textured group, and one node
  // of each record kind.
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 1}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  const int hull = Texture(b, PatternTexture("HULL0001", TextureLayout::A, 8, 8, 0x0000));
  const int polys1 =
      PolygonList(b, {
                         {{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}},
                         {{0, 1, 4, -1}, {0, 1, 2, -1}, {11, 12, 13}, {14, 15, 16, 17, 18, 19}},
                     });
  const int group1 = Group(b, {Ref::To(hull), Ref::To(polys1)});
  const int n22a = RecordNode(b, 22, Run(101, 4));
  const int n25a = RecordNode(b, 25, Run(201, 18));
  const int n23a = RecordNode(b, 23, Run(301, 12));
  const int n28a = RecordNode(b, 28, Run(400, 18));
  const int top1 = TopLevelNode(b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group1),
                                    Ref::To(n22a), Ref::To(n25a), Ref::To(n23a), Ref::To(n28a)});

  // Top-level 2: no tables of its own (its polygons use top-level 1's), a texture group of
  // four (two in layout B) and an empty slot.
  const int wing_a = Texture(b, PatternTexture("WING_A01", TextureLayout::B, 6, 5, 0x1234));
  const int wing_b = Texture(b, PatternTexture("WING_B01", TextureLayout::A, 4, 4, 0x0F0F));
  const int wing_c = Texture(b, PatternTexture("WING_C01", TextureLayout::B, 3, 7, 0xF0F0));
  const int wing_d = Texture(b, PatternTexture("WING_D01", TextureLayout::A, 2, 2, 0xFFFF));
  const int wings =
      TextureGroup(b, {Ref::To(wing_a), Ref::To(wing_b), Ref::To(wing_c), Ref::To(wing_d)}, 1);
  const int polys2 =
      PolygonList(b, {
                         {{3, 2, 1, 0}, {3, 2, 1, 0}, {21, 22, 23}, {24, 25, 26, 27, 28, 29}},
                         {{4, 3, 2, -1}, {1, 3, 0, -1}, {31, 32, 33}, {34, 35, 36, 37, 38, 39}},
                         {{2, 4, 0, 1}, {2, 0, 3, 1}, {41, 42, 43}, {44, 45, 46, 47, 48, 49}},
                     });
  const int group2 = Group(b, {Ref::To(wings), Ref::To(polys2)});
  const int n22b = RecordNode(b, 22, Run(111, 4));
  const int n25b = RecordNode(b, 25, Run(221, 18));
  const int n23b = RecordNode(b, 23, Run(321, 12));
  const int n28b = RecordNode(b, 28, Run(420, 18));
  const int top2 = TopLevelNode(b, {Ref::To(group2), Ref::Null(), Ref::To(n22b), Ref::To(n25b),
                                    Ref::To(n23b), Ref::To(n28b)});

  // Top-level 3: a texture reference and a triangle, with its own vertex list.
  const int vertices3 = VertexList(b, {{2, 2, 2}, {3, 2, 2}, {2, 3, 2}});
  const int cockpit = TextureReference(b, "HULL0001");
  const int polys3 =
      PolygonList(b, {
                         {{0, 1, 2, -1}, {3, 2, 1, -1}, {51, 52, 53}, {54, 55, 56, 57, 58, 59}},
                     });
  const int group3 = Group(b, {Ref::To(cockpit), Ref::To(polys3)});
  const int n25c = RecordNode(b, 25, Run(241, 18));
  const int n23c = RecordNode(b, 23, Run(341, 12));
  const int top3 =
      TopLevelNode(b, {Ref::To(vertices3), Ref::To(group3), Ref::To(n25c), Ref::To(n23c)});

  b.TopLevel({Ref::To(top1), Ref::To(top2), Ref::To(top3)});
  return b.Build();
}

}  // namespace durvane::fixture
