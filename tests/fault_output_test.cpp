// Faults around the output of a conversion: the QEL directory missing or read-only, the output
// folder's name taken, the disk filling up. Each must fail with a message naming the path and
// leave every file as it was: no half-written PRJ file, no temporary file, no new folder.
#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "usecases/conversion_run.h"
#include "tests/support/child_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

class ConversionOutputFault : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to all, so that a child running as "nobody" reaches the files.
    std::filesystem::permissions(tmp_.path(), std::filesystem::perms(0755));
    std::filesystem::create_directory(tmp_ / "in");
    WriteBytes(tmp_ / "in" / "sample.opt", SampleModel().bytes);
  }

  // Runs the conversion of in/sample.opt into `qel`; returns its error message, or "ok".
  std::string Convert(const std::filesystem::path& qel) const {
    try {
      RunConversion(qel, tmp_ / "in", "sample.opt");
      return "ok";
    } catch (const Error& e) {
      return std::string("error: ") + e.what();
    }
  }

  // The same in a child process under `options`.
  ChildOutcome ConvertInChild(const std::filesystem::path& qel, const ChildOptions& options) const {
    return RunInChild(options, [&] { return Convert(qel); });
  }

  // A QEL directory whose output folder already holds an older conversion.
  std::filesystem::path QelWithOldOutput() const {
    std::filesystem::create_directories(qel_ / "sample");
    WriteBytes(qel_ / "sample" / "sample.prj", TextBytes("old prj file"));
    WriteBytes(qel_ / "sample" / "HULL0001.BMP", TextBytes("old bitmap"));
    return qel_;
  }

  void ExpectOldOutputWhole() const {
    EXPECT_EQ(ListTree(qel_),
              (std::vector<std::string>{"sample", "sample/HULL0001.BMP", "sample/sample.prj"}));
    EXPECT_EQ(ReadBytes(qel_ / "sample" / "sample.prj"), TextBytes("old prj file"));
    EXPECT_EQ(ReadBytes(qel_ / "sample" / "HULL0001.BMP"), TextBytes("old bitmap"));
  }

  std::string CannotWritePrj(const std::string& reason) const {
    return "error: cannot write '" + (qel_ / "sample" / "sample.prj").string() + "': " + reason;
  }

  TempDir tmp_;
  std::filesystem::path qel_ = tmp_ / "qel";
};

TEST_F(ConversionOutputFault, MissingQelDirectoryIsNotCreated) {
  EXPECT_EQ(Convert(qel_), "error: the QEL directory '" + qel_.string() + "' does not exist");
  EXPECT_EQ(ListTree(tmp_.path()), (std::vector<std::string>{"in", "in/sample.opt"}));
}

TEST_F(ConversionOutputFault, OutputFolderNameTakenByAFile) {
  std::filesystem::create_directory(qel_);
  WriteBytes(qel_ / "sample", TextBytes("not a folder"));
  EXPECT_EQ(Convert(qel_), "error: cannot create the output folder '" + (qel_ / "sample").string() +
                               "': a file of that name is in the way");
  EXPECT_EQ(ReadBytes(qel_ / "sample"), TextBytes("not a folder"));
  EXPECT_EQ(ListTree(qel_), std::vector<std::string>{"sample"});
}

// Permission bits do not stop root, so as root the conversion runs as "nobody" in a child.
TEST_F(ConversionOutputFault, ReadOnlyQelDirectoryGetsNoOutputFolder) {
  std::filesystem::create_directory(qel_);
  std::filesystem::permissions(qel_, std::filesystem::perms(0555));
  const auto outcome = ConvertInChild(qel_, {.drop_privileges = true});
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, "error: cannot create the output folder '" +
                                (qel_ / "sample").string() + "': Permission denied");
  EXPECT_TRUE(ListTree(qel_).empty());
}

TEST_F(ConversionOutputFault, ReadOnlyOutputFolderKeepsItsFiles) {
  QelWithOldOutput();
  std::filesystem::permissions(qel_ / "sample", std::filesystem::perms(0555));
  const auto outcome = ConvertInChild(qel_, {.drop_privileges = true});
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, CannotWritePrj("Permission denied"));
  ExpectOldOutputWhole();
}

// A file size limit below the PRJ file's size makes the write fail with EFBIG, as a full disk
// makes it fail with ENOSPC: the same path through the code.
constexpr std::uint64_t kSmallFileLimit = 512;

TEST_F(ConversionOutputFault, DiskFullLeavesNoFolderAndNoTemporaryFile) {
  ASSERT_GT(ConvertOpt(SampleModel().bytes).prj.size(), kSmallFileLimit);
  std::filesystem::create_directory(qel_);
  const auto outcome = ConvertInChild(qel_, {.file_size_limit = kSmallFileLimit});
  EXPECT_EQ(outcome.report, CannotWritePrj("File too large"));
  EXPECT_TRUE(ListTree(qel_).empty());
}

TEST_F(ConversionOutputFault, DiskFullKeepsTheOldFilesWhole) {
  QelWithOldOutput();
  const auto outcome = ConvertInChild(qel_, {.file_size_limit = kSmallFileLimit});
  EXPECT_EQ(outcome.report, CannotWritePrj("File too large"));
  ExpectOldOutputWhole();

  // With room again, the next run replaces them.
  EXPECT_EQ(Convert(qel_), "ok");
  EXPECT_EQ(ReadBytes(qel_ / "sample" / "sample.prj"),
            ConvertOpt(SampleModel().bytes).prj.Flatten());
}

}  // namespace
}  // namespace durvane
