#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/little_endian.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using fixture::BuildPrjFile;
using fixture::PrjLayoutDesc;

fixture::ProcessResult Durvane(const std::vector<std::string>& args) {
  return fixture::RunProcess(DURVANE_BIN_DIR "/durvane", args);
}

PrjLayoutDesc TwoPolygons() {
  PrjLayoutDesc s;
  s.Polygon(0, 1).Polygon(1, 2);
  s.ff04 = {{0, 3}, {1, 4}};
  s.ff05 = {{0, 5}, {1, 6}};
  return s;
}

TEST(MergeCommand, MergesAndSaysWhatItWrote) {
  fixture::TempDir dir;
  const std::string a = dir / "a.prj", b = dir / "b.prj";
  fixture::WriteBytes(a, BuildPrjFile(TwoPolygons()));
  fixture::WriteBytes(b, BuildPrjFile(TwoPolygons()));
  const auto run = Durvane({"merge", a, b});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto merged = ReadFile(a);
  EXPECT_EQ(LoadI32(merged.data()), 4);
  EXPECT_EQ(run.out, "merged " + b + " into " + a + ": 4 polygons, " +
                         std::to_string(merged.size()) + " bytes, top-level indices moved by 2\n");
}

TEST(MergeCommand, NoSyncMergesTheSame) {
  fixture::TempDir dir;
  const std::string a = dir / "a.prj", b = dir / "b.prj", c = dir / "c.prj";
  fixture::WriteBytes(a, BuildPrjFile(TwoPolygons()));
  fixture::WriteBytes(c, BuildPrjFile(TwoPolygons()));
  fixture::WriteBytes(b, BuildPrjFile(TwoPolygons()));
  ASSERT_EQ(Durvane({"merge", a, b}).exit_status, 0);
  const auto run = Durvane({"merge", "--no-sync", c, b});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(ReadFile(c), ReadFile(a));
}

TEST(MergeCommand, BackupKeepsTheFirstFileAsItWasUnderItsNameAndATilde) {
  fixture::TempDir dir;
  const std::string a = dir / "a.prj", b = dir / "b.prj";
  const auto first = BuildPrjFile(TwoPolygons());
  fixture::WriteBytes(a, first);
  fixture::WriteBytes(b, BuildPrjFile(TwoPolygons()));
  fixture::WriteBytes(a + "~", BuildPrjFile(PrjLayoutDesc{}));  // an older backup: replaced
  const auto run = Durvane({"merge", "--backup", a, b});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(ReadFile(a + "~"), first);
  EXPECT_EQ(LoadI32(ReadFile(a).data()), 4);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.prj", "a.prj~", "b.prj"}));
}

TEST(MergeCommand, AnInvalidFileIsNamedAndTheFirstIsLeftAlone) {
  fixture::TempDir dir;
  const std::string a = dir / "a.prj", b = dir / "b.prj";
  const auto first = BuildPrjFile(TwoPolygons());
  fixture::WriteBytes(a, first);
  auto broken = BuildPrjFile(TwoPolygons());
  StoreI32(broken.data(), 3);  // one polygon record more than the leading block holds
  fixture::WriteBytes(b, broken);
  const auto run = Durvane({"merge", a, b});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "durvane: error: '" + b +
                         "': not a valid PRJ file: offset 0xa0: section FF01: expected the tag "
                         "0xff01 after the 3 records of the leading block, found 0x59524b44\n");
  EXPECT_EQ(ReadFile(a), first);

  const std::string missing = dir / "nothing.prj";
  const auto run_missing = Durvane({"merge", a, missing});
  EXPECT_EQ(run_missing.exit_status, 1);
  EXPECT_EQ(run_missing.err.rfind("durvane: error: '" + missing + "': cannot open", 0), 0u)
      << run_missing.err;
  EXPECT_EQ(ReadFile(a), first);
}

TEST(MergeCommand, WrongArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"merge"}, {"merge", "a.prj"}, {"merge", "-x", "a", "b"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size());
    const auto run = Durvane(args);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find("Usage: durvane merge [--backup] [--no-sync] [--no-wait] [--] FIRST.prj "
                           "SECOND.prj"),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(Durvane({"merge", "--help"}).exit_status, 0);
}

}  // namespace
}  // namespace durvane
