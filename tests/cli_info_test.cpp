// durvane info: plain text for people, JSON for scripts, the same facts in both.
#include <gtest/gtest.h>

#include "tests/support/prj_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

const std::string kDurvane = DURVANE_BIN_DIR "/durvane";
const std::string kSample = DURVANE_SOURCE_DIR "/examples/sample.opt";

// Runs a Python expression over the JSON documents durvane printed (one per line), with
// `docs` bound to the parsed list; returns what the expression printed.
std::string QueryJson(const std::string& json_lines, const std::string& expression) {
  TempDir dir;
  const auto path = dir / "out.json";
  WriteBytes(path, std::as_bytes(std::span(json_lines.data(), json_lines.size())));
  const ProcessResult r =
      RunProcess("/usr/bin/python3",
                 {"-c",
                  "import json,sys\ndocs=[json.loads(l) for l in open(sys.argv[1]) if l.strip()]\n"
                  "print(" +
                      expression + ")",
                  path.string()});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return r.out;
}

TEST(CliInfo, DescribesTheSampleOptInTextAndJson) {
  const ProcessResult text = RunProcess(kDurvane, {"info", kSample});
  EXPECT_EQ(text.exit_status, 0) << text.err;
  EXPECT_NE(text.out.find("NodeCount 3"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("6 polygon(s)"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("FF03 2, FF04 3, FF05 3, FF08 2 record(s)"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("converts: yes"), std::string::npos);

  const ProcessResult json = RunProcess(kDurvane, {"info", "--json", kSample});
  EXPECT_EQ(json.exit_status, 0) << json.err;
  EXPECT_EQ(QueryJson(json.out,
                      "docs[0]['NodeCount'], docs[0]['prj']['PolygonCount'], "
                      "[e['polygons'] for e in docs[0]['top_level']], docs[0]['valid']"),
            "3 6 [2, 3, 1] True\n");
  const auto prj = ConvertToPrj(SampleModel());
  EXPECT_EQ(QueryJson(json.out, "docs[0]['prj']['bytes']"), std::to_string(prj.size()) + "\n");
}

TEST(CliInfo, AnInvalidOptStillPrintsItsFactsAndExitsWithOne) {
  TempDir dir;
  std::vector<std::byte> cut = SampleModel().bytes;
  cut.resize(cut.size() - 10);
  WriteBytes(dir / "cut.OPT", cut);
  const ProcessResult text = RunProcess(kDurvane, {"info", (dir / "cut.OPT").string()});
  EXPECT_EQ(text.exit_status, 1);
  EXPECT_NE(text.out.find("OptBase 0xa00000, NodeCount 3"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  error: offset 0x"), std::string::npos) << text.out;

  const ProcessResult json = RunProcess(kDurvane, {"info", "--json", (dir / "cut.OPT").string()});
  EXPECT_EQ(json.exit_status, 1);
  EXPECT_EQ(QueryJson(json.out, "docs[0]['valid'], docs[0]['error'].startswith('offset 0x')"),
            "False True\n");
}

TEST(CliInfo, UsageErrors) {
  EXPECT_EQ(RunProcess(kDurvane, {"info"}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"info", "--xml", kSample}).exit_status, 2);
  const ProcessResult unknown = RunProcess(kDurvane, {"info", "model.txt"});
  EXPECT_EQ(unknown.exit_status, 2);
  EXPECT_NE(unknown.err.find("name it .opt or .prj"), std::string::npos);
  EXPECT_EQ(RunProcess(kDurvane, {"info", "/nonexistent/x.opt"}).exit_status, 1);
}

}  // namespace
}  // namespace durvane
