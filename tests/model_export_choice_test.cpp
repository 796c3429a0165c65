// What the preview's export menu decides without a toolkit: the name it suggests, the format
// an answer gets, the export and what the window says after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/window/model_export_choice.h"
#include "core/platform.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane::window {
namespace {

using exporting::ExportFormat;

std::string Bytes(const std::filesystem::path& path) {
  return platform::PathBytes(path);
}

TEST(ModelExportChoice, SuggestsTheShownFilesNameBesideIt) {
  const std::filesystem::path folder = std::filesystem::path("models") / "x-wing";
  struct Case {
    const char* shown;
    ExportFormat format;
    const char* suggested;
  };
  const std::vector<Case> cases = {
      {"ship.opt", ExportFormat::kGlb, "ship.glb"},
      {"ship.prj", ExportFormat::kObj, "ship.obj"},
      {"a.b.OPT", ExportFormat::kGltf, "a.b.gltf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SuggestedExportTarget(Bytes(folder / c.shown), c.format), Bytes(folder / c.suggested))
        << c.shown;
  }
}

TEST(ModelExportChoice, OnlyAGltfAnswerToTheGltfActionWritesGltf) {
  struct Case {
    const char* answer;
    ExportFormat chosen;
    ExportFormat written;
  };
  const std::vector<Case> cases = {
      {"out.gltf", ExportFormat::kGlb, ExportFormat::kGltf},
      {"OUT.GLTF", ExportFormat::kGlb, ExportFormat::kGltf},
      {"out.glb", ExportFormat::kGlb, ExportFormat::kGlb},
      {"out", ExportFormat::kGlb, ExportFormat::kGlb},
      {"gltf", ExportFormat::kGlb, ExportFormat::kGlb},
      {"out.gltf.glb", ExportFormat::kGlb, ExportFormat::kGlb},
      {"out.gltf", ExportFormat::kObj, ExportFormat::kObj},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsweredFormat(c.answer, c.chosen), c.written) << c.answer;
  }
}

TEST(ModelExportChoice, ExportsAndSaysHowItWent) {
  fixture::TempDir dir;
  fixture::WriteBytes(dir / "sample.opt", fixture::SampleModel().bytes);
  fixture::WriteBytes(dir / "broken.prj", fixture::TextBytes("not a PRJ file"));
  struct Case {
    const char* source;
    const char* target;
    ExportNotice::Kind kind;
    const char* headline;
  };
  const std::vector<Case> cases = {
      {"sample.opt", "sample.glb", ExportNotice::Kind::kBeep, ""},
      {"broken.prj", "broken.obj", ExportNotice::Kind::kError,
       "'broken.prj' could not be exported to 'broken.obj'."},
      {"absent.opt", "absent.glb", ExportNotice::Kind::kError,
       "'absent.opt' could not be exported to 'absent.glb'."},
  };
  for (const Case& c : cases) {
    const std::string source = Bytes(dir / c.source);
    const std::string target = Bytes(dir / c.target);
    const ExportResult result = ExportShownModel(
        source, target,
        c.kind == ExportNotice::Kind::kBeep ? ExportFormat::kGlb : ExportFormat::kObj);
    const ExportNotice notice = NoticeOf(source, target, result);
    EXPECT_EQ(notice.kind, c.kind) << c.source << ": " << result.error;
    EXPECT_EQ(notice.headline, c.headline) << c.source;
    // The library's message, which says what is wrong, goes under the headline.
    EXPECT_EQ(notice.details, result.error) << c.source;
    EXPECT_EQ(result.error.empty(), c.kind == ExportNotice::Kind::kBeep) << c.source;
    // The files are written all or none.
    EXPECT_EQ(std::filesystem::exists(dir / c.target), c.kind == ExportNotice::Kind::kBeep);
  }
  const ExportNotice warned = NoticeOf(Bytes(dir / "ship.opt"), Bytes(dir / "out" / "ship.gltf"),
                                       {{"bitmap 'HULL' is missing", "2 polygons left out"}, ""});
  EXPECT_EQ(warned.kind, ExportNotice::Kind::kWarnings);
  EXPECT_EQ(warned.headline, "'ship.opt' was exported to 'ship.gltf', with warnings:");
  EXPECT_EQ(warned.warnings,
            (std::vector<std::string>{"bitmap 'HULL' is missing", "2 polygons left out"}));
}

}  // namespace
}  // namespace durvane::window
