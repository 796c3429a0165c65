// Faults around the output of a conversion: the QEL directory missing or read-only, the output
// folder's name taken, the disk filling up. Each must fail with a message naming the path and
// leave every file as it was: no half-written PRJ file, no temporary file, no new folder.
#include <gtest/gtest.h>

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

class ConversionOutputFault : public ::testing::Test {
 protected:
  void SetUp() override { tmp_.Write("in/sample.opt", fixture::SampleModel().bytes); }

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
  fixture::ChildOutcome ConvertInChild(const std::filesystem::path& qel,
                                       const fixture::ChildOptions& options) const {
    return fixture::RunInChild(options, [&] { return Convert(qel); });
  }

  // A QEL directory whose output folder already holds an older conversion.
  std::filesystem::path QelWithOldOutput() const {
    tmp_.Write("qel/sample/sample.prj", TextBytes("old prj file"));
    tmp_.Write("qel/sample/HULL0001.BMP", TextBytes("old bitmap"));
    return tmp_ / "qel";
  }

  void ExpectOldOutputWhole(const std::filesystem::path& qel) const {
    EXPECT_EQ(ListFolder(qel / "sample"), (std::vector<std::string>{"HULL0001.BMP", "sample.prj"}));
    EXPECT_EQ(ReadFile(qel / "sample" / "sample.prj"), TextBytes("old prj file"));
    EXPECT_EQ(ReadFile(qel / "sample" / "HULL0001.BMP"), TextBytes("old bitmap"));
  }

  fixture::TempFolder tmp_;
};

TEST_F(ConversionOutputFault, MissingQelDirectoryIsNotCreated) {
  const auto qel = tmp_ / "missing";
  EXPECT_EQ(Convert(qel), "error: the QEL directory '" + qel.string() + "' does not exist");
  EXPECT_EQ(ListFolder(tmp_.path()), std::vector<std::string>{"in"});
}

TEST_F(ConversionOutputFault, QelDirectoryThatIsAFileIsLeftAlone) {
  const auto qel = tmp_.Write("qel", TextBytes("a file"));
  EXPECT_EQ(Convert(qel), "error: the QEL directory '" + qel.string() + "' is not a folder");
  EXPECT_EQ(ReadFile(qel), TextBytes("a file"));
}

TEST_F(ConversionOutputFault, OutputFolderNameTakenByAFile) {
  const auto in_the_way = tmp_.Write("qel/sample", TextBytes("not a folder"));
  EXPECT_EQ(Convert(tmp_ / "qel"), "error: cannot create the output folder '" +
                                       in_the_way.string() +
                                       "': a file of that name is in the way");
  EXPECT_EQ(ReadFile(in_the_way), TextBytes("not a folder"));
  EXPECT_EQ(ListFolder(tmp_ / "qel"), std::vector<std::string>{"sample"});
}

// Permission bits do not stop root, so as root the conversion runs as "nobody" in a child.
TEST_F(ConversionOutputFault, ReadOnlyQelDirectoryGetsNoOutputFolder) {
  const auto qel = tmp_ / "qel";
  std::filesystem::create_directory(qel);
  std::filesystem::permissions(qel, std::filesystem::perms(0555));
  const auto outcome = ConvertInChild(qel, {.drop_privileges = true});
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, "error: cannot create the output folder '" + (qel / "sample").string() +
                                "': Permission denied");
  EXPECT_TRUE(ListFolder(qel).empty());
}

TEST_F(ConversionOutputFault, ReadOnlyOutputFolderKeepsItsFiles) {
  const auto qel = QelWithOldOutput();
  std::filesystem::permissions(qel / "sample", std::filesystem::perms(0555));
  const auto outcome = ConvertInChild(qel, {.drop_privileges = true});
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, "error: cannot write '" + (qel / "sample" / "sample.prj").string() +
                                "': Permission denied");
  ExpectOldOutputWhole(qel);
}

// A file size limit below the PRJ file's size makes the write fail with EFBIG, as a full disk
// makes it fail with ENOSPC: the same path through the code.
constexpr std::uint64_t kSmallFileLimit = 512;

TEST_F(ConversionOutputFault, DiskFullLeavesNoFolderAndNoTemporaryFile) {
  ASSERT_GT(ConvertOpt(fixture::SampleModel().bytes).prj.size(), kSmallFileLimit);
  const auto qel = tmp_ / "qel";
  std::filesystem::create_directory(qel);
  const auto outcome = ConvertInChild(qel, {.file_size_limit = kSmallFileLimit});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.report, "error: cannot write '" + (qel / "sample" / "sample.prj").string() +
                                "': File too large");
  EXPECT_TRUE(ListFolder(qel).empty());
}

TEST_F(ConversionOutputFault, DiskFullKeepsTheOldFilesWhole) {
  const auto qel = QelWithOldOutput();
  const auto outcome = ConvertInChild(qel, {.file_size_limit = kSmallFileLimit});
  EXPECT_EQ(outcome.report, "error: cannot write '" + (qel / "sample" / "sample.prj").string() +
                                "': File too large");
  ExpectOldOutputWhole(qel);

  // With room again, the next run replaces them.
  EXPECT_EQ(Convert(qel), "ok");
  EXPECT_EQ(ReadFile(qel / "sample" / "sample.prj"),
            ConvertOpt(fixture::SampleModel().bytes).prj.Flatten());
}

}  // namespace
}  // namespace durvane
