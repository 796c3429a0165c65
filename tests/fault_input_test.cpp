// Faults around the input of a conversion: a path that is a folder or unreadable, and the same
// file (or two files of one name) given twice to `durvane convert`.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "core/error.h"
#include "core/file_io.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "usecases/conversion_run.h"
#include "tests/support/child_process.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

class ConversionInputFault : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to all, so that a child running as "nobody" reaches the files.
    std::filesystem::permissions(tmp_.path(), std::filesystem::perms(0755));
    std::filesystem::create_directory(qel_);
    std::filesystem::create_directory(in_);
  }

  std::string Convert(const std::string& name) const {
    try {
      RunConversion(qel_, in_, name);
      return "ok";
    } catch (const Error& e) {
      return std::string("error: ") + e.what();
    }
  }

  TempDir tmp_;
  std::filesystem::path qel_ = tmp_ / "qel";
  std::filesystem::path in_ = tmp_ / "in";
};

TEST_F(ConversionInputFault, InputThatIsAFolder) {
  std::filesystem::create_directory(in_ / "model.opt");
  EXPECT_EQ(Convert("model.opt"),
            "error: cannot read '" + (in_ / "model.opt").string() + "': it is a directory");
  EXPECT_TRUE(ListTree(qel_).empty());
}

// Permission bits do not stop root, so as root the conversion runs as "nobody" in a child.
TEST_F(ConversionInputFault, UnreadableInput) {
  WriteBytes(in_ / "model.opt", SampleModel().bytes);
  std::filesystem::permissions(in_ / "model.opt", std::filesystem::perms::none);
  const auto outcome = RunInChild({.drop_privileges = true}, [&] { return Convert("model.opt"); });
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report,
            "error: cannot open '" + (in_ / "model.opt").string() + "': Permission denied");
  EXPECT_TRUE(ListTree(qel_).empty());
}

// A FIFO, a device or a socket is refused at once, never opened for a blocking read. Each run
// happens in a child that an alarm kills, so that a read that waits fails the test instead of
// hanging it.
TEST_F(ConversionInputFault, InputThatIsNotARegularFileIsRefusedAtOnce) {
  const std::filesystem::path fifo = in_ / "pipe.opt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  WriteBytes(in_ / "good.prj", ConvertToPrj(SampleModel()));
  const std::filesystem::path good_prj = in_ / "good.prj";
  const std::string fifo_error =
      "cannot read '" + fifo.string() + "': it is a FIFO (named pipe), not a regular file";
  struct Case {
    const char* what;
    std::function<void()> run;
    std::string expected;
  };
  const Case cases[] = {
      {"read a FIFO", [&] { ReadFile(fifo); }, fifo_error},
      {"read a device", [] { ReadFile("/dev/zero"); },
       "cannot read '/dev/zero': it is a device, not a regular file"},
      {"convert a FIFO", [&] { RunConversion(qel_, in_, "pipe.opt"); }, fifo_error},
      {"merge into a FIFO", [&] { merge::MergePrj(fifo, good_prj); }, fifo_error},
      {"merge a FIFO in", [&] { merge::MergePrj(good_prj, fifo); }, fifo_error},
  };
  for (const Case& c : cases) {
    const auto outcome = RunInChild({}, [&] {
      ::alarm(10);
      try {
        c.run();
      } catch (const Error& e) {
        return std::string(e.what());
      }
      return std::string("no error");
    });
    EXPECT_TRUE(outcome.exited) << c.what << ": still waiting after 10 s";
    EXPECT_NE(outcome.report.find(c.expected), std::string::npos)
        << c.what << ": " << outcome.report;
  }
  EXPECT_TRUE(ListTree(qel_).empty());
  EXPECT_EQ(ReadBytes(good_prj), ConvertToPrj(SampleModel()));
}

// An OPT file name whose base name is not a single folder name inside the QEL directory is
// refused before anything is created, inside or outside the QEL directory.
TEST_F(ConversionInputFault, NameThatLeavesTheQelDirectoryIsRefused) {
  std::filesystem::create_directory(in_ / "sub");
  struct Case {
    std::string name;   // as handed to the conversion
    std::string shown;  // what the error must say
  };
  const Case cases[] = {
      {"...opt", "would give the output folder \"..\""},
      {"..OPT", "would give the output folder \".\""},
      {"sub/x.opt", "holds a folder separator"},
      {"back\\slash.opt", "holds a folder separator"},
  };
  for (const Case& c : cases) {
    WriteBytes(in_ / c.name, SampleModel().bytes);
    const std::string result = Convert(c.name);
    EXPECT_NE(result.find(c.shown), std::string::npos) << c.name << ": " << result;
  }
  EXPECT_TRUE(ListTree(qel_).empty());
  EXPECT_EQ(ListTree(tmp_.path()).size(), ListTree(in_).size() + 2);  // "in", "qel" and in's files
}

class ConvertCommandTwice : public ConversionInputFault {
 protected:
  ProcessResult Run(const std::vector<std::string>& files) const {
    std::vector<std::string> args = {"convert", "-o", qel_.string()};
    args.insert(args.end(), files.begin(), files.end());
    return RunProcess(std::string(DURVANE_BIN_DIR) + "/durvane", args);
  }
};

TEST_F(ConvertCommandTwice, SameFileIsConvertedOnce) {
  const std::string input = (in_ / "sample.opt").string();
  const std::string other_spelling = (in_ / "." / "sample.opt").string();
  WriteBytes(input, SampleModel().bytes);
  const auto once = Run({input});
  ASSERT_EQ(once.exit_status, 0) << once.err;
  const auto r = Run({input, other_spelling});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, once.out);  // the files written, each named once
  EXPECT_EQ(r.err, "durvane: warning: '" + other_spelling + "': the same file as '" + input +
                       "', converted once\n");
  EXPECT_EQ(ReadBytes(qel_ / "sample" / "sample.prj"), ConvertToPrj(SampleModel()));
}

TEST_F(ConvertCommandTwice, SecondFileOfTheSameNameDoesNotReplaceTheFirst) {
  // Two different files whose output folders are the same: the second would replace the
  // first's PRJ file and leave the first's bitmaps beside it.
  const std::string first = (in_ / "sample.opt").string();
  WriteBytes(first, SampleModel().bytes);
  std::filesystem::create_directory(tmp_ / "other");
  const std::string second = (tmp_ / "other" / "SAMPLE.OPT").string();
  OptBuilder empty;
  empty.TopLevel({});
  WriteBytes(second, empty.Build().bytes);

  const auto r = Run({first, second});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "durvane: error: '" + second + "': not converted: its output folder '" +
                       (qel_ / "sample").string() + "' is the output of '" + first +
                       "' in this run\n");
  EXPECT_EQ(ReadBytes(qel_ / "sample" / "sample.prj"), ConvertToPrj(SampleModel()));
}

}  // namespace
}  // namespace durvane
