// A conversion killed halfway through writing its output: the old files stay whole, and the
// temporary file the dead process left behind is removed by the next run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "core/error.h"
#include "core/file_io.h"
#include "usecases/conversion_run.h"
#include "tests/support/child_process.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(KilledConversion, OldFilesStayWholeAndTheNextRunRemovesTheLeftover) {
  // Unnamed temporary files, where the file system has them, and named ones as elsewhere.
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary files" : "named temporary files");
    TempDir tmp;
    if (unnamed && !TakesUnnamedTemporaries(tmp.path())) {
      std::cerr << "note: the test folder's file system has no unnamed files\n";
      continue;
    }
    std::filesystem::create_directory(tmp / "in");
    std::filesystem::create_directories(tmp / "qel" / "sample");
    WriteBytes(tmp / "in" / "sample.opt", SampleModel().bytes);
    const auto old_prj = tmp / "qel" / "sample" / "sample.prj";
    WriteBytes(old_prj, TextBytes("old prj file"));
    const std::vector<std::byte> expected = ConvertToPrj(SampleModel());
    constexpr std::uint64_t kKilledAfter = 512;
    ASSERT_GT(expected.size(), kKilledAfter);

    // SIGKILL arrives when the PRJ file's temporary copy holds its first 512 bytes.
    const auto outcome = RunInChild({.file_size_limit = kKilledAfter, .kill_at_limit = true}, [&] {
      AllowUnnamedTemporaries(unnamed);
      RunConversion(tmp / "qel", tmp / "in", "sample.opt");
      return std::string("finished");
    });
    ASSERT_EQ(outcome.signal, SIGKILL) << outcome.report;

    // The old file is whole. An unnamed copy went with the process; a named one lies beside
    // the old file under its temporary name, with the run log that names it.
    EXPECT_EQ(ReadBytes(old_prj), TextBytes("old prj file"));
    const std::vector<std::string> left = ListTree(tmp / "qel" / "sample");
    if (unnamed) {
      EXPECT_EQ(left, std::vector<std::string>{"sample.prj"});
    } else {
      ASSERT_EQ(left.size(), 3u);
      EXPECT_EQ(left[0].rfind(kRunLogPrefix, 0), 0u) << left[0];
      EXPECT_EQ(left[1].rfind(kTemporaryPrefix, 0), 0u) << left[1];
      EXPECT_EQ(std::filesystem::file_size(tmp / "qel" / "sample" / left[1]), kKilledAfter);
    }

    const ConversionResult next = RunConversion(tmp / "qel", tmp / "in", "sample.opt");
    std::vector<std::string> written = {"sample.prj"};
    for (const auto& bitmap : next.bitmaps) written.push_back(bitmap.filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(ListTree(tmp / "qel" / "sample"), written);
    EXPECT_EQ(ReadBytes(old_prj), expected);
  }
}

TEST(StaleTemporaries, MissingFolderIsNoError) {
  TempDir tmp;
  EXPECT_EQ(RemoveStaleTemporaries(tmp / "missing").removed, 0u);
}

}  // namespace
}  // namespace durvane
