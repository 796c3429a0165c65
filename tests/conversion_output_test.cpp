// The conversion run on disk: its PRJ file holds the bytes the in-memory conversion gives, and a
// failure leaves nothing behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "opt/opt_image.h"
#include "usecases/conversion_run.h"
#include "prj/prj_builder.h"
#include "tests/support/opt_builder.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

using fixture::BuiltOpt;
using fixture::OptBuilder;
using fixture::PolygonRow;
using fixture::Ref;

void WriteOpt(const std::filesystem::path& path, const BuiltOpt& model) {
  fixture::WriteBytes(path, model.bytes);
}

void ExpectFileMatchesMemory(const BuiltOpt& model, const char* name) {
  fixture::TempDir folder;
  WriteOpt(folder.path() / name, model);
  const ConversionResult result = RunConversion(folder.path(), folder.path(), name);
  const ConvertedModel in_memory = ConvertOpt(model.bytes);

  const std::vector<std::byte> written = ReadFile(result.prj_path);
  const std::vector<std::byte> expected = in_memory.prj.Flatten();
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_EQ(std::memcmp(written.data(), expected.data(), expected.size()), 0);
  EXPECT_EQ(result.warnings, in_memory.warnings);
}

TEST(ConversionOutput, WrittenFileEqualsTheInMemoryConversion) {
  ExpectFileMatchesMemory(fixture::SampleModel(), "sample.opt");
  // Tens of megabytes of output: the polygon blocks go out in many chunks, written on another
  // thread while the next are built, and their count fields are written again at the end.
  fixture::WorkloadShape large = fixture::MediumModelShape(7);
  large.polygons_per_list = 2400;
  ExpectFileMatchesMemory(fixture::WorkloadModel(large), "large.opt");
}

TEST(ConversionOutput, StreamedPrjEqualsTheWholeOneAtEveryChunkSize) {
  // Small chunks make every block spill, and count fields be written again after their bytes
  // have gone out.
  for (const BuiltOpt& model :
       {fixture::SampleModel(), fixture::WorkloadModel(fixture::MediumModelShape(3))}) {
    const opt::OptImage image(model.bytes);
    std::vector<std::string> whole_warnings;
    const std::vector<std::byte> whole = prj::BuildPrj(image, whole_warnings).Flatten();
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
      SCOPED_TRACE("chunk of " + std::to_string(chunk) + " bytes");
      std::vector<std::byte> streamed;
      std::vector<std::string> warnings;
      const std::uint64_t size = prj::StreamPrj(
          image, prj::CountPrjPolygons(image),
          [&](std::uint64_t offset, ByteBuffer bytes) {
            if (streamed.size() < offset + bytes.size()) streamed.resize(offset + bytes.size());
            std::memcpy(streamed.data() + offset, bytes.data(), bytes.size());
            return bytes;
          },
          warnings, chunk);
      EXPECT_EQ(size, whole.size());
      EXPECT_TRUE(streamed == whole);
      EXPECT_EQ(warnings, whole_warnings);
    }
  }
}

// A model whose first top-level entry makes megabytes of records and whose last polygon names
// a vertex outside its table, so that the conversion fails after writing has begun.
BuiltOpt FailingLate() {
  OptBuilder b;
  const int vertices = fixture::VertexList(b, std::vector<fixture::Vertex>(8, {1, 2, 3}));
  const int pairs = fixture::PairList(b, std::vector<fixture::Pair>(8, {4, 5}));
  std::vector<PolygonRow> rows(60'000);
  for (PolygonRow& r : rows) r = {{0, 1, 2, 3}, {4, 5, 6, 7}, {}, {}};
  const int good = fixture::PolygonList(b, rows);
  const int top1 = fixture::TopLevelNode(
      b, {Ref::To(vertices), Ref::To(pairs), Ref::To(fixture::Group(b, {Ref::To(good)}))});
  const int bad = fixture::PolygonList(b, {{{0, 1, 8, -1}, {0, 1, 2, -1}, {}, {}}});
  const int top2 = fixture::TopLevelNode(b, {Ref::To(fixture::Group(b, {Ref::To(bad)}))});
  b.TopLevel({Ref::To(top1), Ref::To(top2)});
  return b.Build();
}

TEST(ConversionOutput, FailureAfterWritingBeganLeavesNothingBehind) {
  fixture::TempDir in, qel;
  WriteOpt(in.path() / "late.opt", FailingLate());
  try {
    RunConversion(qel.path(), in.path(), "late.opt");
    FAIL() << "expected an error";
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("top-level entry 2"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("vertex index 3 is 8"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(std::filesystem::is_empty(qel.path()));  // no folder, no temporary file
}

TEST(ConversionOutput, FailureKeepsAnEarlierOutputAsItWas) {
  fixture::TempDir in, qel;
  std::filesystem::create_directory(qel.path() / "late");
  const std::byte old[] = {std::byte{42}};
  WriteFileAtomically(qel.path() / "late" / "late.prj", std::span<const std::span<const std::byte>>(
                                                            {std::span<const std::byte>(old)}));
  WriteOpt(in.path() / "late.opt", FailingLate());
  EXPECT_THROW(RunConversion(qel.path(), in.path(), "late.opt"), FormatError);

  std::vector<std::filesystem::path> left;
  for (const auto& entry : std::filesystem::directory_iterator(qel.path() / "late")) {
    left.push_back(entry.path().filename());
  }
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0], "late.prj");
  const std::vector<std::byte> kept = ReadFile(qel.path() / "late" / "late.prj");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], std::byte{42});
}

// A file large enough to be written by a thread of its own while it is built gives the bytes
// the in-memory conversion gives.
TEST(ConversionOutput, AFileWrittenBehindItsBuildingIsTheInMemoryConversion) {
  using namespace fixture;
  const std::vector<std::byte> opt = SharedNodesModel(12);
  TempDir dir;
  WriteBytes(dir / "shared.opt", opt);
  const ConversionResult result =
      RunConversion(dir.path(), dir.path(), "shared.opt", Durability::kNoSync);
  const std::vector<std::byte> written = ReadBytes(result.prj_path);
  EXPECT_GT(written.size(), std::size_t{40} << 20);
  EXPECT_TRUE(written == ConvertOpt(opt).prj.Flatten());
}

}  // namespace
}  // namespace durvane
