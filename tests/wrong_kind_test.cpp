// A file given as the wrong kind is named for what it most likely is before what is wrong with
// it: an OPT file given to merge or to info as a PRJ file.
#include <gtest/gtest.h>

#include "core/input_file.h"
#include "core/little_endian.h"
#include "info/prj_report.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "opt/opt_signature.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(WrongKind, OptFilesLookLikeOptFilesAndPrjFilesDoNot) {
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

TEST(WrongKind, MergeSaysAnOptFileIsOneFirst) {
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

TEST(WrongKind, InfoReadingAPrjFileFromDiskSaysWhatItSaysOfItsBytes) {
  // An OPT file whose top-level table runs past the first 64 KiB, whose last entry points
  // outside the file: looking at the head alone would call it an OPT file.
  OptBuilder b;
  b.TopLevel(std::vector<Ref>(20000, Ref::To(TopLevelNode(b, {}))));
  std::vector<std::byte> far_entry = b.Build().bytes;
  StoreI32(far_entry.data() + 22 + 4 * 19999, 0x7FFFFF00);
  std::vector<std::byte> far_entry_kept = far_entry;
  StoreI32(far_entry_kept.data() + 22 + 4 * 19999, 0);
  const std::vector<std::byte> prj = ConvertToPrj(SampleModel());
  struct Case {
    const char* name;
    std::vector<std::byte> bytes;
  };
  const Case cases[] = {
      {"valid", prj},
      {"cut in FF02", std::vector<std::byte>(prj.begin(), prj.begin() + 700)},
      {"empty", {}},
      {"sample OPT", SampleModel().bytes},
      {"OPT with a far entry outside the file", far_entry},
      {"OPT with a far entry empty", far_entry_kept},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir / "file.prj", c.bytes);
    const info::PrjReport from_disk = info::DescribePrj(InputFile(dir / "file.prj"));
    const info::PrjReport from_bytes = info::DescribePrj(c.bytes);
    EXPECT_EQ(info::PrjReportJson("file.prj", from_disk),
              info::PrjReportJson("file.prj", from_bytes));
  }
  EXPECT_TRUE(opt::LooksLikeOpt(far_entry_kept, far_entry_kept.size()));
  EXPECT_FALSE(opt::LooksLikeOpt(far_entry, far_entry.size()));
}

}  // namespace
}  // namespace durvane
