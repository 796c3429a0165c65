#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/little_endian.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/scratch_folder.h"

namespace durvane {
namespace {

using fixture::BuildPrjFile;
using fixture::PrjSpec;
using fixture::ScratchFolder;

struct CommandRun {
  int status;
  std::string out, err;
};

std::string Text(const std::filesystem::path& file) {
  const auto bytes = ReadFile(file);
  std::string text;
  for (std::byte b : bytes) text.push_back(static_cast<char>(b));
  return text;
}

// Runs the built durvane with `args` (already quoted as the shell needs) from `dir`.
CommandRun Durvane(const ScratchFolder& dir, const std::string& args) {
  const std::string command = "cd '" + dir.path().string() + "' && '" DURVANE_BIN_DIR "/durvane' " +
                              args + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  CommandRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Text(dir / "out.txt"),
                 Text(dir / "err.txt")};
  std::filesystem::remove(dir / "out.txt");
  std::filesystem::remove(dir / "err.txt");
  return run;
}

PrjSpec TwoPolygons() {
  PrjSpec s;
  s.Polygon(0, 1).Polygon(1, 2);
  s.ff04 = {{0, 3}, {1, 4}};
  s.ff05 = {{0, 5}, {1, 6}};
  return s;
}

TEST(MergeCommand, MergesAndSaysWhatItWrote) {
  ScratchFolder dir;
  const auto a = dir.Write("a.prj", BuildPrjFile(TwoPolygons()));
  dir.Write("b.prj", BuildPrjFile(TwoPolygons()));
  const CommandRun run = Durvane(dir, "merge a.prj b.prj");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto merged = ReadFile(a);
  EXPECT_EQ(LoadI32(merged.data()), 4);
  EXPECT_EQ(run.out, "merged b.prj into a.prj: 4 polygons, " + std::to_string(merged.size()) +
                         " bytes, top-level indices moved by 2\n");
}

TEST(MergeCommand, AnInvalidFileIsNamedAndTheFirstIsLeftAlone) {
  ScratchFolder dir;
  const auto first = BuildPrjFile(TwoPolygons());
  const auto a = dir.Write("a.prj", first);
  auto broken = BuildPrjFile(TwoPolygons());
  StoreI32(broken.data(), 3);  // one polygon record more than the leading block holds
  dir.Write("b.prj", broken);
  const CommandRun run = Durvane(dir, "merge a.prj b.prj");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "durvane: error: 'b.prj': not a valid PRJ file: offset 0xa0: section FF01: expected "
            "the tag 0xff01 after the 3 records of the leading block, found 0x59524b44\n");
  EXPECT_EQ(ReadFile(a), first);

  const CommandRun missing = Durvane(dir, "merge a.prj nothing.prj");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("durvane: error: 'nothing.prj': cannot open", 0), 0u) << missing.err;
  EXPECT_EQ(ReadFile(a), first);
}

TEST(MergeCommand, WrongArgumentsAreUsageErrors) {
  ScratchFolder dir;
  for (const char* args : {"merge", "merge a.prj", "merge a.prj b.prj c.prj", "merge -x a b"}) {
    SCOPED_TRACE(args);
    const CommandRun run = Durvane(dir, args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: durvane merge FIRST.prj SECOND.prj"), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(Durvane(dir, "merge --help").status, 0);
}

}  // namespace
}  // namespace durvane
