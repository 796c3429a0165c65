// `durvane convert -j N`: converting files in parallel gives the very files and messages of
// converting them one after another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/file_io.h"
#include "tests/support/temp_folder.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

void WriteBytes(const std::filesystem::path& path, std::span<const std::byte> bytes) {
  const std::span<const std::byte> pieces[] = {bytes};
  WriteFileAtomically(path, pieces);
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every file under `root`, by path relative to it, with its contents.
std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), root).string()] = ReadText(entry.path());
    }
  }
  return files;
}

struct ToolRun {
  int status;
  std::string out, err;
  std::map<std::string, std::string> files;
};

// Runs `durvane convert -j jobs -o . INPUTS` inside a fresh folder `name` of `work`.
ToolRun Convert(const std::filesystem::path& work, const std::string& name, const std::string& jobs,
            const std::string& inputs) {
  const std::filesystem::path dir = work / name;
  std::filesystem::create_directory(dir);
  const std::string command = "cd '" + dir.string() +
                              "' && '" DURVANE_BIN_DIR "/durvane' convert -j " + jobs + " -o out " +
                              inputs + " >../" + name + ".out 2>../" + name + ".err";
  std::filesystem::create_directory(dir / "out");
  const int raw = std::system(command.c_str());
  ToolRun run{WEXITSTATUS(raw), ReadText(work / (name + ".out")), ReadText(work / (name + ".err")),
          Tree(dir / "out")};
  return run;
}

TEST(ConvertJobs, ParallelRunMatchesSerialRunFileForFileAndMessageForMessage) {
  fixture::TempFolder work;
  const auto in = work.path() / "in";
  std::filesystem::create_directory(in);
  std::string inputs;
  for (int i = 0; i < 6; ++i) {
    fixture::WorkloadShape shape = fixture::MediumModelShape(100 + i);
    shape.top_level_nodes = 6 + i;
    shape.polygons_per_list = 40 * (6 - i);  // early files take longer, so they finish late
    shape.textures = i == 2 ? 0 : 3;         // no texture at all: a warning for each polygon list
    const auto model = fixture::WorkloadModel(shape);
    const std::string name = "model" + std::to_string(i) + ".opt";
    if (i == 4) {
      // Cut short: an error for this file, and the others still convert.
      WriteBytes(in / name, std::span(model.bytes).first(model.bytes.size() / 2));
    } else {
      WriteBytes(in / name, model.bytes);
    }
    inputs += " ../in/" + name;
  }
  inputs += " ../in/missing.opt ../in/model0.opt";  // a missing file; a file converted twice

  const ToolRun serial = Convert(work.path(), "serial", "1", inputs);
  const ToolRun parallel = Convert(work.path(), "parallel", "2", inputs);

  EXPECT_EQ(serial.status, 1);
  EXPECT_EQ(parallel.status, serial.status);
  EXPECT_EQ(parallel.out, serial.out);
  EXPECT_EQ(parallel.err, serial.err);
  EXPECT_EQ(parallel.files, serial.files);

  // The messages come file by file, in the order the files were given.
  EXPECT_LT(serial.out.find("model0.prj"), serial.out.find("model1.prj"));
  EXPECT_LT(serial.out.find("model3.prj"), serial.out.find("model5.prj"));
  EXPECT_LT(serial.err.find("model2.opt"), serial.err.find("model4.opt"));
  EXPECT_LT(serial.err.find("model4.opt"), serial.err.find("missing.opt"));
  EXPECT_EQ(serial.files.count("model4/model4.prj"), 0u);
  EXPECT_EQ(serial.files.count("model5/model5.prj"), 1u);
}

TEST(ConvertJobs, RefusesAJobCountThatIsNotAPositiveNumber) {
  fixture::TempFolder work;
  for (const char* jobs : {"0", "-3", "two", "''"}) {
    const ToolRun run = Convert(work.path(), std::string("bad") + (jobs[0] == '\'' ? "empty" : jobs),
                            jobs, "x.opt");
    EXPECT_EQ(run.status, 2) << jobs;
    EXPECT_NE(run.err.find("number of jobs"), std::string::npos) << run.err;
    EXPECT_TRUE(run.files.empty());
  }
}

}  // namespace
}  // namespace durvane
