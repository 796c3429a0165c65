// make-fuzz-corpus DIR: writes the seed corpora of the fuzz targets under DIR (convert/ and,
// for the merge, prj/), made by the fixture builder. Kept small: the fuzzer finds the rest.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/file_io.h"
#include "tests/support/opt_builder.h"
#include "tests/support/sample_model.h"

namespace {

using namespace durvane::fixture;

void Write(const std::filesystem::path& path, std::span<const std::byte> bytes) {
  const std::span<const std::byte> pieces[] = {bytes};
  durvane::WriteFileAtomically(path, pieces);
}

// No top-level entries: the smallest valid file.
BuiltOpt EmptyModel() {
  OptBuilder b;
  b.TopLevel({});
  return b.Build();
}

// One triangle with its tables, a texture reference and nodes of types 22 and 28.
BuiltOpt TriangleModel() {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  const int texture = TextureReference(b, "SKIN0001");
  const int polygons =
      PolygonList(b, {{{0, 1, 2, -1}, {0, 1, 2, -1}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}}});
  const int group = Group(b, {Ref::To(texture), Ref::To(polygons)});
  const int n22 = RecordNode(b, 22, {1, 2, 3, 4});
  const int n28 = RecordNode(b, 28, std::vector<std::int32_t>(18, 7));
  b.TopLevel({Ref::To(TopLevelNode(
      b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group), Ref::To(n22), Ref::To(n28)}))});
  return b.Build();
}

// A texture group of two textures, one in each layout, and a group whose ChildCount (2) makes the
// walks take the node at its DataAddress.
BuiltOpt TextureGroupModel() {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  TextureSpec spec;
  spec.name = "PANEL001";
  spec.layout = TextureLayout::B;
  const int panel = Texture(b, spec);
  spec.name = "PANEL002";
  spec.layout = TextureLayout::A;
  const int textures = TextureGroup(b, {Ref::To(panel), Ref::To(Texture(b, spec))}, 1);
  const int polygons =
      PolygonList(b, {{{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}}});
  const int p = b.Node({.type = 0, .child_count = 2},
                       Bytes().Address(Ref::To(textures)).Address(Ref::To(polygons)));
  const int table = b.Blob(Bytes().Address(Ref::To(p)));
  const int s = b.Node({.type = 0, .child_count = 1, .child_table = Ref::To(table)},
                       Bytes().Address(Ref::To(p)));
  const int k =
      b.Node({.type = 0, .child_count = 2, .data_address = Ref::To(s)}, Bytes().Long(0).Long(0));
  b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(vertices), Ref::To(pairs), Ref::To(k)}))});
  return b.Build();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make-fuzz-corpus DIR\n";
    return 2;
  }
  try {
    const std::filesystem::path convert = std::filesystem::path(argv[1]) / "convert";
    std::filesystem::create_directories(convert);
    Write(convert / "empty.opt", EmptyModel().bytes);
    Write(convert / "triangle.opt", TriangleModel().bytes);
    Write(convert / "texture-group.opt", TextureGroupModel().bytes);
    Write(convert / "sample.opt", SampleModel().bytes);
  } catch (const std::exception& e) {
    std::cerr << "make-fuzz-corpus: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
