// A conversion killed halfway through writing its output: the old files stay whole, and the
// temporary file the dead process left behind is removed by the next run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/error.h"
#include "core/file_io.h"
#include "prj/conversion_run.h"
#include "tests/support/child_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_folder.h"

namespace durvane {
namespace {

using fixture::ListFolder;
using fixture::TextBytes;

// The id of a process that has ended (and been reaped).
pid_t DeadProcessId() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

std::string TemporaryName(const std::string& file, pid_t pid, int n) {
  return "." + file + kTemporarySuffix + std::to_string(pid) + "-" + std::to_string(n);
}

TEST(KilledConversion, OldFilesStayWholeAndTheNextRunRemovesTheLeftover) {
  fixture::TempFolder tmp;
  tmp.Write("in/sample.opt", fixture::SampleModel().bytes);
  const auto old_prj = tmp.Write("qel/sample/sample.prj", TextBytes("old prj file"));
  const std::vector<std::byte> expected = ConvertOpt(fixture::SampleModel().bytes).prj.Flatten();
  constexpr std::uint64_t kKilledAfter = 512;
  ASSERT_GT(expected.size(), kKilledAfter);

  // SIGKILL arrives when the PRJ file's temporary copy holds its first 512 bytes.
  const auto outcome =
      fixture::RunInChild({.file_size_limit = kKilledAfter, .kill_at_limit = true}, [&] {
        RunConversion(tmp / "qel", tmp / "in", "sample.opt");
        return std::string("finished");
      });
  ASSERT_EQ(outcome.signal, SIGKILL) << outcome.report;

  // The old file is whole; the half-written copy lies beside it under its temporary name.
  EXPECT_EQ(ReadFile(old_prj), TextBytes("old prj file"));
  const std::vector<std::string> left = ListFolder(tmp / "qel" / "sample");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].rfind(".sample.prj" + std::string(kTemporarySuffix), 0), 0u) << left[0];
  EXPECT_EQ(std::filesystem::file_size(tmp / "qel" / "sample" / left[0]), kKilledAfter);

  RunConversion(tmp / "qel", tmp / "in", "sample.opt");
  EXPECT_EQ(ListFolder(tmp / "qel" / "sample"), std::vector<std::string>{"sample.prj"});
  EXPECT_EQ(ReadFile(old_prj), expected);
}

TEST(StaleTemporaries, OnlyFilesOfEndedProcessesInTheTemporaryPatternAreRemoved) {
  fixture::TempFolder tmp;
  const pid_t dead = DeadProcessId();
  const pid_t alive = ::getpid();
  const std::vector<std::string> stale = {TemporaryName("model.prj", dead, 0),
                                          TemporaryName("HULL0001.BMP", dead, 17)};
  const std::vector<std::string> kept = {
      TemporaryName("model.prj", alive, 0),  // a write in progress
      "model.prj",                           // the real file
      "model.prj" + std::string(kTemporarySuffix) + std::to_string(dead) + "-0",  // no dot
      "." + std::string("model.prj") + kTemporarySuffix + std::to_string(dead),   // no counter
      "." + std::string("model.prj") + kTemporarySuffix + "x" + std::to_string(dead) + "-0",
      "." + std::string("model.prj") + kTemporarySuffix + std::to_string(dead) + "-1x",
      "." + std::string("model.prj") + kTemporarySuffix + "-" + std::to_string(dead) + "-1",
  };
  for (const auto& name : stale) tmp.Write(name, TextBytes("partial"));
  for (const auto& name : kept) tmp.Write(name, TextBytes("keep"));
  // A folder in the pattern is not a leftover of ours.
  std::filesystem::create_directory(tmp / TemporaryName("folder", dead, 0));

  EXPECT_EQ(RemoveStaleTemporaries(tmp.path()), stale.size());
  std::vector<std::string> expected = kept;
  expected.push_back(TemporaryName("folder", dead, 0));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListFolder(tmp.path()), expected);
}

TEST(StaleTemporaries, MissingFolderIsNoError) {
  fixture::TempFolder tmp;
  EXPECT_EQ(RemoveStaleTemporaries(tmp / "missing"), 0u);
}

}  // namespace
}  // namespace durvane
