// durvane info: plain text for people, JSON for scripts, the same facts in both.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "core/file_window.h"
#include "core/input_file.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/prj_fixture.h"
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

TEST(CliInfo, NamesTexturesWhoseNameCannotBeAFileName) {
  OptBuilder b;
  TextureDesc bad;
  bad.name = std::string("a/b\0\0\0\0\0", 8);
  const int group = Group(b, {Ref::To(Texture(b, bad))});
  b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(group)}))});
  TempDir dir;
  WriteBytes(dir / "bad.opt", b.Build().bytes);
  const ProcessResult text = RunProcess(kDurvane, {"info", (dir / "bad.opt").string()});
  EXPECT_EQ(text.exit_status, 0) << text.err;  // a warning, not an error
  EXPECT_NE(
      text.out.find("\"a/b\\x00\\x00\\x00\\x00\\x00\" layout A, 2 x 2, 4 pixels, name cannot be a "
                    "file name: no bitmap"),
      std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("warning: texture"), std::string::npos) << text.out;
  const ProcessResult json = RunProcess(kDurvane, {"info", "--json", (dir / "bad.opt").string()});
  EXPECT_EQ(QueryJson(json.out,
                      "docs[0]['textures'][0]['safe_file_name'], docs[0]['textures'][0]['name']"),
            "False a/b\\x00\\x00\\x00\\x00\\x00\n");
}

TEST(CliInfo, DescribesConvertedAndMergedPrjFiles) {
  TempDir qel;
  ASSERT_EQ(RunProcess(kDurvane, {"convert", "-o", qel.path().string(), kSample}).exit_status, 0);
  const std::string prj = (qel.path() / "sample" / "sample.prj").string();
  const std::string merged = (qel / "merged.prj").string();
  std::filesystem::copy_file(prj, merged);
  ASSERT_EQ(RunProcess(kDurvane, {"merge", merged, prj}).exit_status, 0);

  const ProcessResult text = RunProcess(kDurvane, {"info", prj, merged});
  EXPECT_EQ(text.exit_status, 0) << text.err;
  EXPECT_NE(text.out.find("section FF03 at 0x3f5: tag 0xff03, count field 2, 2 record(s) in 40 "
                          "bytes, top-level indices 0 to 1"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("leading block at 0x0: count field 12, 12 record(s) in 624 bytes, "
                          "top-level indices 0 to 5"),
            std::string::npos)
      << text.out;

  const ProcessResult json = RunProcess(kDurvane, {"info", "--json", prj, merged});
  EXPECT_EQ(json.exit_status, 0);
  EXPECT_EQ(QueryJson(json.out,
                      "[(d['valid'], d['blocks'][3]['offset'], d['blocks'][0]['records'], "
                      "d['blocks'][0]['max_index']) for d in docs]"),
            "[(True, 1013, 6, 2), (True, 2006, 12, 5)]\n");
}

TEST(CliInfo, PrjCountsThatDisagreeWithTheRecords) {
  PrjLayoutDesc desc;
  desc.Polygon(0, 1).Polygon(1, 2);
  desc.ff04 = {{0, 3}, {1, 4}};
  desc.ff05 = {{0, 5}, {1, 6}};
  TempDir dir;
  // FF01's count field is never read: the file is valid, with a warning.
  PrjLayoutDesc ff01 = desc;
  ff01.count_fields[1] = 7;
  WriteBytes(dir / "ff01.prj", BuildPrjFile(ff01));
  const ProcessResult warned = RunProcess(kDurvane, {"info", (dir / "ff01.prj").string()});
  EXPECT_EQ(warned.exit_status, 0);
  EXPECT_NE(warned.out.find("warning: section FF01: the count field 7 disagrees with the polygon "
                            "count 2"),
            std::string::npos)
      << warned.out;
  // FF04's count field says how many records to step over: three where two are is invalid.
  PrjLayoutDesc ff04 = desc;
  ff04.count_fields[4] = 3;
  WriteBytes(dir / "ff04.prj", BuildPrjFile(ff04));
  const ProcessResult invalid = RunProcess(kDurvane, {"info", (dir / "ff04.prj").string()});
  EXPECT_EQ(invalid.exit_status, 1);
  EXPECT_NE(invalid.out.find("section FF04 at "), std::string::npos) << invalid.out;
  EXPECT_NE(invalid.out.find("not valid merge input: offset 0x"), std::string::npos) << invalid.out;
  const ProcessResult json = RunProcess(kDurvane, {"info", "--json", (dir / "ff04.prj").string()});
  // The walk steps over three records and then misses the FF05 tag.
  EXPECT_EQ(QueryJson(json.out,
                      "docs[0]['valid'], docs[0]['blocks'][4]['records'], "
                      "'section FF05: expected the tag 0xff05' in docs[0]['error']"),
            "False 3 True\n");
}

// A model of shared nodes whose blocks each run to hundreds of kilobytes: one top-level node,
// named by every entry of the table, with 8 polygons and as children two nodes of type 22, one
// of 25, one of 23 and three of 28.
std::vector<std::byte> ManyRecordsModel() {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  const int polygons = PolygonList(b, std::vector<PolygonRow>(8, {{0, 1, 2, -1}, {0, 1, 2, -1}}));
  std::vector<Ref> children = {Ref::To(vertices), Ref::To(pairs),
                               Ref::To(Group(b, {Ref::To(polygons)}))};
  struct Kind {
    std::int32_t type;
    std::size_t values;  // from node offset 24, as many as the section copies
    std::size_t copies;
  };
  for (const Kind& k : {Kind{22, 4, 2}, Kind{25, 18, 1}, Kind{23, 12, 1}, Kind{28, 18, 3}}) {
    const int node = RecordNode(b, k.type, std::vector<std::int32_t>(k.values, k.type));
    children.insert(children.end(), k.copies, Ref::To(node));
  }
  b.TopLevel(std::vector<Ref>(3000, Ref::To(TopLevelNode(b, children))));
  return b.Build().bytes;
}

// A texture whose name cannot be a file name, which the texture scan warns of.
std::vector<std::byte> UnsafeTextureNameModel() {
  OptBuilder b;
  TextureDesc bad;
  bad.name = std::string("a/b\0\0\0\0\0", 8);
  const int polygons = PolygonList(b, {{{0, 1, 2, -1}, {0, 1, 2, -1}}});
  const int group = Group(b, {Ref::To(Texture(b, bad)), Ref::To(polygons)});
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  const int n25 = RecordNode(b, 25, std::vector<std::int32_t>(18, 1));
  const int n23 = RecordNode(b, 23, std::vector<std::int32_t>(12, 2));
  b.TopLevel({Ref::To(TopLevelNode(
      b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group), Ref::To(n25), Ref::To(n23)}))});
  return b.Build().bytes;
}

TEST(CliInfo, CountsAndWarningsOfAnOptFileAreThoseOfItsConversion) {
  struct Case {
    const char* name;
    std::function<std::vector<std::byte>()> model;
  };
  const Case cases[] = {
      {"sample", [] { return SampleModel().bytes; }},
      {"many records", ManyRecordsModel},
      {"unsafe texture name", UnsafeTextureNameModel},
      // No polygon, and no record of FF03 or FF08.
      {"no polygons",
       [] {
         OptBuilder b;
         const int n25 = RecordNode(b, 25, std::vector<std::int32_t>(18, 1));
         const int n23 = RecordNode(b, 23, std::vector<std::int32_t>(12, 2));
         b.TopLevel({Ref::To(TopLevelNode(b, {Ref::To(n25), Ref::To(n23)}))});
         return b.Build().bytes;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteBytes(dir / "model.opt", c.model());
    const ProcessResult converted = RunProcess(
        kDurvane,
        {"convert", "--no-sync", "-o", dir.path().string(), (dir / "model.opt").string()});
    ASSERT_EQ(converted.exit_status, 0) << converted.err;

    // What the conversion wrote, read back by the merge's layout walk.
    const InputFile prj(dir / "model" / "model.prj");
    const prj::PrjLayout layout = prj::ReadPrjLayout(FileWindow(prj));
    auto records = [&](prj::PrjBlockKind kind) {
      return std::to_string(layout[kind].record_count);
    };
    const std::string expected_counts =
        records(prj::PrjBlockKind::kLeading) + " " + records(prj::PrjBlockKind::kFF03) + " " +
        records(prj::PrjBlockKind::kFF04) + " " + records(prj::PrjBlockKind::kFF05) + " " +
        records(prj::PrjBlockKind::kFF08) + " " + std::to_string(prj.size()) + "\n";
    std::string expected_warnings;
    std::istringstream err(converted.err);
    const std::string prefix = "durvane: warning: '" + (dir / "model.opt").string() + "': ";
    for (std::string line; std::getline(err, line);) {
      if (line.starts_with(prefix)) expected_warnings += line.substr(prefix.size()) + "|";
    }
    expected_warnings += "\n";

    const ProcessResult info =
        RunProcess(kDurvane, {"info", "--json", (dir / "model.opt").string()});
    EXPECT_EQ(info.exit_status, 0) << info.err;
    EXPECT_EQ(QueryJson(info.out,
                        "*(docs[0]['prj'][k] for k in ['PolygonCount', 'FF03Count', 'FF04Records', "
                        "'FF05Records', 'FF08Count', 'bytes'])"),
              expected_counts);
    EXPECT_EQ(QueryJson(info.out, "''.join(w + '|' for w in docs[0]['warnings'])"),
              expected_warnings);
  }
}

TEST(CliInfo, UsageErrors) {
  EXPECT_EQ(RunProcess(kDurvane, {"info"}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"info", "--xml", kSample}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"info", "/nonexistent/x.opt"}).exit_status, 1);
}

TEST(CliInfo, AFileOfAnotherKindFailsAndTheOthersAreStillExplained) {
  const ProcessResult r = RunProcess(kDurvane, {"info", "model.txt", kSample});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err,
            "durvane: error: 'model.txt': not explained: the file name ends neither in \".opt\" "
            "nor in \".prj\"\n");
  EXPECT_NE(r.out.find("NodeCount 3"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace durvane
