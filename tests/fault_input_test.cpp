// Faults around the input of a conversion: a path that is a folder, missing or unreadable, and
// the same file (or two files of one name) given twice to `durvane convert`.
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

class ConversionInputFault : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(qel_); }

  std::string Convert(const std::string& name) const {
    try {
      RunConversion(qel_, tmp_ / "in", name);
      return "ok";
    } catch (const Error& e) {
      return std::string("error: ") + e.what();
    }
  }

  fixture::TempFolder tmp_;
  std::filesystem::path qel_ = tmp_ / "qel";
};

TEST_F(ConversionInputFault, InputThatIsAFolder) {
  std::filesystem::create_directories(tmp_ / "in" / "model.opt");
  EXPECT_EQ(Convert("model.opt"),
            "error: cannot read '" + (tmp_ / "in" / "model.opt").string() + "': it is a directory");
  EXPECT_TRUE(ListFolder(qel_).empty());
}

TEST_F(ConversionInputFault, MissingInput) {
  EXPECT_EQ(Convert("model.opt"), "error: cannot open '" + (tmp_ / "in" / "model.opt").string() +
                                      "': No such file or directory");
  EXPECT_TRUE(ListFolder(qel_).empty());
}

// Permission bits do not stop root, so as root the conversion runs as "nobody" in a child.
TEST_F(ConversionInputFault, UnreadableInput) {
  const auto input = tmp_.Write("in/model.opt", fixture::SampleModel().bytes);
  std::filesystem::permissions(input, std::filesystem::perms::none);
  const auto outcome =
      fixture::RunInChild({.drop_privileges = true}, [&] { return Convert("model.opt"); });
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, "error: cannot open '" + input.string() + "': Permission denied");
  EXPECT_TRUE(ListFolder(qel_).empty());
}

class ConvertCommandTwice : public ConversionInputFault {
 protected:
  fixture::ProgramOutcome Run(const std::vector<std::string>& files) const {
    std::vector<std::string> argv = {std::string(DURVANE_BIN_DIR) + "/durvane", "convert", "-o",
                                     qel_.string()};
    argv.insert(argv.end(), files.begin(), files.end());
    return fixture::RunProgram(argv);
  }

  std::vector<std::byte> ExpectedPrj() const {
    return ConvertOpt(fixture::SampleModel().bytes).prj.Flatten();
  }
};

TEST_F(ConvertCommandTwice, SameFileIsConvertedOnce) {
  const std::string input = tmp_.Write("in/sample.opt", fixture::SampleModel().bytes).string();
  const std::string other_spelling = (tmp_ / "in" / "." / "sample.opt").string();
  const auto outcome = Run({input, other_spelling});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "wrote " + (qel_ / "sample" / "sample.prj").string() + "\n");
  EXPECT_EQ(outcome.err, "durvane: warning: '" + other_spelling + "': the same file as '" + input +
                             "', converted once\n");
  EXPECT_EQ(ReadFile(qel_ / "sample" / "sample.prj"), ExpectedPrj());
}

TEST_F(ConvertCommandTwice, SecondFileOfTheSameNameDoesNotReplaceTheFirst) {
  // Two different files whose output folders are the same: the second would replace the
  // first's PRJ file and mix its bitmaps with the first's.
  const std::string first = tmp_.Write("in/sample.opt", fixture::SampleModel().bytes).string();
  fixture::OptBuilder empty;
  empty.TopLevel({});
  const std::string second = tmp_.Write("other/SAMPLE.OPT", empty.Build().bytes).string();
  const auto outcome = Run({first, second});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, "durvane: error: '" + second + "': not converted: its output folder '" +
                             (qel_ / "sample").string() + "' was written from '" + first +
                             "' in this run\n");
  EXPECT_EQ(ReadFile(qel_ / "sample" / "sample.prj"), ExpectedPrj());
}

}  // namespace
}  // namespace durvane
