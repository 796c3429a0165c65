// The conversion run on disk: output names, folders, replacing earlier output.
#include <gtest/gtest.h>

#include "core/error.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(OutputBaseName, LowersTheNameAndDropsTheExtensionInAnyCase) {
  EXPECT_EQ(OutputBaseName("Ship1.OPT"), "ship1");
  EXPECT_EQ(OutputBaseName("x-Wing.opt"), "x-wing");
  EXPECT_EQ(OutputBaseName("A.oPt"), "a");
  EXPECT_EQ(OutputBaseName("CAFÉ.OPT"), "cafÉ");  // only ASCII letters are lowered
  EXPECT_THROW(OutputBaseName("ship.prj"), Error);
  EXPECT_THROW(OutputBaseName(".opt"), Error);
  EXPECT_THROW(OutputBaseName("opt"), Error);
}

class ConversionRun : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(in_ / "Ship1.OPT", SampleModel().bytes); }
  TempDir in_, qel_;
};

TEST_F(ConversionRun, WritesTheLowerCaseFolderAndPrjFile) {
  const ConversionResult r = RunConversion(qel_.path(), in_.path(), "Ship1.OPT");
  EXPECT_TRUE(r.created_output_folder);
  EXPECT_EQ(r.output_folder, qel_.path() / "ship1");
  EXPECT_EQ(r.prj_path, qel_.path() / "ship1" / "ship1.prj");
  EXPECT_EQ(ReadBytes(r.prj_path), ConvertToPrj(SampleModel()));
}

TEST_F(ConversionRun, ReusesAnExistingFolderAndReplacesTheWholePrjFile) {
  std::filesystem::create_directory(qel_.path() / "ship1");
  WriteBytes(qel_.path() / "ship1" / "notes.txt", std::vector<std::byte>(3));
  WriteBytes(qel_.path() / "ship1" / "ship1.prj", std::vector<std::byte>(100000, std::byte{0x55}));

  const ConversionResult first = RunConversion(qel_.path(), in_.path(), "Ship1.OPT");
  EXPECT_FALSE(first.created_output_folder);
  const auto expected = ConvertToPrj(SampleModel());
  EXPECT_EQ(ReadBytes(first.prj_path), expected);  // no stale bytes beyond the new end
  EXPECT_TRUE(std::filesystem::exists(qel_.path() / "ship1" / "notes.txt"));

  // A second run writes the same file again.
  RunConversion(qel_.path(), in_.path(), "Ship1.OPT");
  EXPECT_EQ(ReadBytes(first.prj_path), expected);
}

TEST_F(ConversionRun, RefusesBadNamesAndMissingPlacesBeforeCreatingAnything) {
  EXPECT_THROW(RunConversion(qel_.path(), in_.path(), ""), Error);
  EXPECT_THROW(RunConversion(qel_.path(), in_.path(), "Ship1.txt"), Error);
  EXPECT_THROW(RunConversion(qel_.path(), in_.path(), "missing.opt"), Error);
  EXPECT_THROW(RunConversion(qel_.path() / "nowhere", in_.path(), "Ship1.OPT"), Error);
  EXPECT_TRUE(ListTree(qel_.path()).empty());

  WriteBytes(qel_.path() / "ship1", std::vector<std::byte>(1));  // a file where the folder goes
  try {
    RunConversion(qel_.path(), in_.path(), "Ship1.OPT");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("a file of that name is in the way"), std::string::npos);
  }
  EXPECT_EQ(ListTree(qel_.path()), std::vector<std::string>{"ship1"});
}

TEST(SampleModel, TheBundledSampleIsTheFixtureBuildersSample) {
  EXPECT_EQ(ReadBytes(DURVANE_SOURCE_DIR "/examples/sample.opt"), SampleModel().bytes)
      << "regenerate it with: build/bin/make-sample examples/sample.opt";
}

}  // namespace
}  // namespace durvane
