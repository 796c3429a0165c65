// make-fuzz-corpus DIR: writes the seed corpora of the fuzz targets under DIR, made by the
// fixture builders: OPT files (convert/), PRJ files (prj/) and pairs of PRJ files (merge/).
// Kept small: the fuzzer finds the rest.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/file_io.h"
#include "core/little_endian.h"
#include "usecases/conversion_run.h"
#include "tests/support/opt_builder.h"
#include "tests/support/prj_fixture.h"
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

// A node of type 25 or 23. Sections FF04 and FF05 count top-level entries, not records, so
// a PRJ file merges only when each entry has one node of each of the two types.
int MergeableRecord(OptBuilder& b, std::int32_t type) {
  return RecordNode(b, type, std::vector<std::int32_t>(18, type));
}

// One triangle with its tables, a texture reference and one node of each record kind.
BuiltOpt TriangleModel() {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  const int texture = TextureReference(b, "SKIN0001");
  const int polygons =
      PolygonList(b, {{{0, 1, 2, -1}, {0, 1, 2, -1}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}}});
  const int group = Group(b, {Ref::To(texture), Ref::To(polygons)});
  b.TopLevel(
      {Ref::To(TopLevelNode(b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group),
                                Ref::To(RecordNode(b, 22, {1, 2, 3, 4})),
                                Ref::To(MergeableRecord(b, 25)), Ref::To(MergeableRecord(b, 23)),
                                Ref::To(RecordNode(b, 28, std::vector<std::int32_t>(18, 7)))}))});
  return b.Build();
}

// A texture group of two textures, one in each layout, and a group whose ChildCount (2) makes the
// walks take the node at its DataAddress.
BuiltOpt TextureGroupModel() {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  TextureDesc texture;
  texture.name = "PANEL001";
  texture.layout = TextureLayout::B;
  const int panel = Texture(b, texture);
  texture.name = "PANEL002";
  texture.layout = TextureLayout::A;
  const int textures = TextureGroup(b, {Ref::To(panel), Ref::To(Texture(b, texture))}, 1);
  const int polygons =
      PolygonList(b, {{{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 2, 3}, {4, 5, 6, 7, 8, 9}}});
  const int p = b.Node({.type = 0, .child_count = 2},
                       Bytes().Address(Ref::To(textures)).Address(Ref::To(polygons)));
  const int table = b.Blob(Bytes().Address(Ref::To(p)));
  const int s = b.Node({.type = 0, .child_count = 1, .child_table = Ref::To(table)},
                       Bytes().Address(Ref::To(p)));
  const int k =
      b.Node({.type = 0, .child_count = 2, .data_address = Ref::To(s)}, Bytes().Long(0).Long(0));
  b.TopLevel({Ref::To(
      TopLevelNode(b, {Ref::To(vertices), Ref::To(pairs), Ref::To(k),
                       Ref::To(MergeableRecord(b, 25)), Ref::To(MergeableRecord(b, 23))}))});
  return b.Build();
}

// A merge fuzzer input: where the first and the second file end, then the files back to back;
// a pair has the top bit of the second cut set.
std::vector<std::byte> MergeInput(const std::vector<std::byte>& first,
                                  const std::vector<std::byte>& second,
                                  const std::vector<std::byte>* third = nullptr) {
  std::vector<std::byte> out(8);
  durvane::StoreU32(out.data(), static_cast<std::uint32_t>(first.size()));
  durvane::StoreU32(out.data() + 4,
                    third ? static_cast<std::uint32_t>(second.size()) : 0x80000000u);
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), second.begin(), second.end());
  if (third) out.insert(out.end(), third->begin(), third->end());
  return out;
}

std::vector<std::byte> ConvertedPrj(const BuiltOpt& model) {
  return durvane::ConvertOpt(model.bytes).prj.Flatten();
}

// A PRJ file without sections FF03 and FF08, with a texture group's four names.
std::vector<std::byte> PrjWithoutOptionalSections() {
  PrjLayoutDesc texture;
  texture.Polygon(0, 1).Polygon(1, 5, {.flag = 1, .strings = {"A.BMP", "B.BMP", "C.BMP", "D.BMP"}});
  texture.ff03.reset();
  texture.ff08.reset();
  texture.ff04 = {{0, 9}, {1, 10}};
  texture.ff05 = {{0, 11}, {1, 12}};
  return BuildPrjFile(texture);
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

    const std::filesystem::path merge = std::filesystem::path(argv[1]) / "merge";
    std::filesystem::create_directories(merge);
    const auto sample = ConvertedPrj(SampleModel());
    const auto triangle = ConvertedPrj(TriangleModel());
    Write(merge / "sample-sample.bin", MergeInput(sample, sample));
    Write(merge / "empty-triangle.bin", MergeInput(ConvertedPrj(EmptyModel()), triangle));
    Write(merge / "triangle-texture-group.bin",
          MergeInput(triangle, ConvertedPrj(TextureGroupModel())));
    Write(merge / "no-optional-sections.bin", MergeInput(PrjWithoutOptionalSections(), sample));
    const auto no_optional = PrjWithoutOptionalSections();
    Write(merge / "sample-triangle-no-optional-sections.bin",
          MergeInput(sample, triangle, &no_optional));
    Write(merge / "empty-sample-sample.bin",
          MergeInput(ConvertedPrj(EmptyModel()), sample, &sample));

    const std::filesystem::path prj = std::filesystem::path(argv[1]) / "prj";
    std::filesystem::create_directories(prj);
    Write(prj / "sample.prj", sample);
    Write(prj / "triangle.prj", triangle);
    Write(prj / "no-optional-sections.prj", PrjWithoutOptionalSections());
  } catch (const std::exception& e) {
    std::cerr << "make-fuzz-corpus: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
