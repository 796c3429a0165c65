// The durvane convert command as users run it.
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

TEST(CliConvert, ConvertsTheSampleAndSaysWhatItWrote) {
  TempDir qel;
  const ProcessResult r = RunProcess(kDurvane, {"convert", "-o", qel.path().string(), kSample});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const auto prj = qel.path() / "sample" / "sample.prj";
  EXPECT_NE(r.out.find("wrote " + prj.string() + "\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(prj), ConvertToPrj(SampleModel()));
}

TEST(CliConvert, NoSyncWritesTheSameFilesWithoutTemporaries) {
  TempDir synced, unsynced;
  ASSERT_EQ(RunProcess(kDurvane, {"convert", "-o", synced.path().string(), kSample}).exit_status,
            0);
  const ProcessResult r =
      RunProcess(kDurvane, {"convert", "--no-sync", "-o", unsynced.path().string(), kSample});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(synced / "sample")) {
    const auto name = entry.path().filename();
    EXPECT_EQ(ReadBytes(unsynced / "sample" / name), ReadBytes(entry.path())) << name;
    ++files;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(unsynced / "sample"),
                          std::filesystem::directory_iterator()),
            static_cast<std::ptrdiff_t>(files));
}

TEST(CliConvert, OneFailingFileDoesNotStopTheOthers) {
  TempDir qel, in;
  WriteBytes(in / "broken.opt", std::vector<std::byte>(5));
  const std::string broken = (in / "broken.opt").string();
  const ProcessResult r =
      RunProcess(kDurvane, {"convert", "-o", qel.path().string(), broken, kSample});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err.rfind("durvane: error: '" + broken + "': offset 0x8: the base address", 0), 0u)
      << r.err;
  EXPECT_TRUE(std::filesystem::exists(qel.path() / "sample" / "sample.prj"));
  EXPECT_FALSE(std::filesystem::exists(qel.path() / "broken"));
}

TEST(CliConvert, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunProcess(kDurvane, {}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"convert"}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"convert", "-o"}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"convert", "--bogus", kSample}).exit_status, 2);
  EXPECT_EQ(RunProcess(kDurvane, {"frobnicate"}).exit_status, 2);
  const ProcessResult help = RunProcess(kDurvane, {"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("durvane convert"), std::string::npos);
  const ProcessResult version = RunProcess(kDurvane, {"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out.rfind("durvane ", 0), 0u);
}

}  // namespace
}  // namespace durvane
