// A file given as the wrong kind is named for what it most likely is before what is wrong with
// it: an OPT file given to merge or to info as a PRJ file.
#include <gtest/gtest.h>

#include "usecases/merge_run.h"
#include "opt/opt_signature.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(FileKind, OptFilesLookLikeOptFilesAndPrjFilesDoNot) {
  const auto sample = SampleModel().bytes;
  const auto workload = WorkloadModel(MediumModelShape(7)).bytes;
  EXPECT_TRUE(opt::LooksLikeOpt(sample, sample.size()));
  EXPECT_TRUE(opt::LooksLikeOpt(workload, workload.size()));
  // Only the head is needed.
  EXPECT_TRUE(opt::LooksLikeOpt(std::span(workload).first(4096), workload.size()));
  for (const auto& prj :
       {ConvertToPrj(SampleModel()), ConvertToPrj(WorkloadModel(MediumModelShape(7)))}) {
    EXPECT_FALSE(opt::LooksLikeOpt(prj, prj.size()));
  }
  // A header whose top-level addresses point outside the file is no OPT file.
  auto cut = sample;
  cut.resize(0x100);
  EXPECT_FALSE(opt::LooksLikeOpt(cut, cut.size()));
  EXPECT_FALSE(opt::LooksLikeOpt({}, 0));
}

TEST(FileKind, MergeSaysAnOptFileIsOneFirst) {
  TempDir dir;
  const auto first = dir / "first.prj";
  const auto opt_as_prj = dir / "model.prj";
  const auto junk = dir / "junk.prj";
  WriteBytes(first, ConvertToPrj(SampleModel()));
  WriteBytes(opt_as_prj, SampleModel().bytes);
  WriteBytes(junk, TextBytes("not a model at all, just text"));
  struct Case {
    std::filesystem::path second;
    std::string starts;
  };
  const Case cases[] = {
      {opt_as_prj, "not a PRJ file: it looks like an OPT file"},
      {junk, "not a valid PRJ file: "},
  };
  for (const Case& c : cases) {
    try {
      merge::MergePrj(first, c.second);
      ADD_FAILURE() << c.second << " merged";
    } catch (const merge::MergeFileError& e) {
      EXPECT_EQ(e.file(), c.second);
      EXPECT_EQ(e.detail().rfind(c.starts, 0), 0u) << e.detail();
    }
  }
  EXPECT_EQ(ReadBytes(first), ConvertToPrj(SampleModel()));
}

}  // namespace
}  // namespace durvane
