// `durvane convert -j N`: converting files in parallel gives the very files and messages of
// converting them one after another.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

using fixture::ProcessResult;

const std::string kDurvane = DURVANE_BIN_DIR "/durvane";

struct ToolRun {
  ProcessResult result;
  std::map<std::string, std::vector<std::byte>> files;  // by path below the output folder
};

// Replaces every occurrence of `from` in `text` by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Runs `durvane convert -j jobs -o OUT inputs...` with a fresh output folder; the folder's
// path reads "OUT" in the messages, so that runs into different folders compare equal.
ToolRun Convert(const fixture::TempDir& work, const std::string& name, const std::string& jobs,
                const std::vector<std::string>& inputs) {
  const std::filesystem::path out = work / name;
  std::filesystem::create_directory(out);
  std::vector<std::string> args = {"convert", "-j", jobs, "-o", out.string()};
  args.insert(args.end(), inputs.begin(), inputs.end());
  ToolRun run{fixture::RunProcess(kDurvane, args), {}};
  run.result.out = Replaced(run.result.out, out.string(), "OUT");
  run.result.err = Replaced(run.result.err, out.string(), "OUT");
  for (const std::string& file : fixture::ListTree(out)) {
    if (std::filesystem::is_regular_file(out / file))
      run.files[file] = fixture::ReadBytes(out / file);
  }
  return run;
}

TEST(ConvertJobs, ParallelRunMatchesSerialRunFileForFileAndMessageForMessage) {
  fixture::TempDir work;
  std::vector<std::string> inputs;
  for (int i = 0; i < 6; ++i) {
    fixture::WorkloadShape shape = fixture::MediumModelShape(100 + i);
    shape.top_level_nodes = 6 + i;
    shape.polygons_per_list = 40 * (6 - i);  // early files take longer, so they finish late
    shape.textures = i == 2 ? 0 : 3;         // no texture at all: a warning for each polygon list
    const auto model = fixture::WorkloadModel(shape);
    const auto path = work / ("model" + std::to_string(i) + ".opt");
    // File 4 is cut short: an error for it, and the others still convert.
    fixture::WriteBytes(path, i == 4 ? std::span(model.bytes).first(model.bytes.size() / 2)
                                     : std::span(model.bytes));
    inputs.push_back(path.string());
  }
  inputs.push_back((work / "missing.opt").string());
  inputs.push_back(inputs[0]);  // a file converted twice

  const ToolRun serial = Convert(work, "serial", "1", inputs);
  const ToolRun parallel = Convert(work, "parallel", "2", inputs);

  EXPECT_EQ(serial.result.exit_status, 1);
  EXPECT_EQ(parallel.result.exit_status, serial.result.exit_status);
  EXPECT_EQ(parallel.result.out, serial.result.out);
  EXPECT_EQ(parallel.result.err, serial.result.err);
  EXPECT_EQ(parallel.files, serial.files);

  // The messages come file by file, in the order the files were given.
  const std::string& out = serial.result.out;
  const std::string& err = serial.result.err;
  EXPECT_LT(out.find("model0.prj"), out.find("model1.prj"));
  EXPECT_LT(out.find("model3.prj"), out.find("model5.prj"));
  EXPECT_LT(err.find("model2.opt"), err.find("model4.opt"));
  EXPECT_LT(err.find("model4.opt"), err.find("missing.opt"));
  EXPECT_EQ(serial.files.count("model4/model4.prj"), 0u);
  EXPECT_EQ(serial.files.count("model5/model5.prj"), 1u);
}

TEST(ConvertJobs, RefusesAJobCountThatIsNotAPositiveNumber) {
  fixture::TempDir work;
  int n = 0;
  for (const char* jobs : {"0", "-3", "two", "", "99999"}) {
    const ToolRun run = Convert(work, "bad" + std::to_string(n++), jobs, {"x.opt"});
    EXPECT_EQ(run.result.exit_status, 2) << jobs;
    EXPECT_NE(run.result.err.find("number of jobs"), std::string::npos) << run.result.err;
    EXPECT_TRUE(run.files.empty());
  }
}

}  // namespace
}  // namespace durvane
