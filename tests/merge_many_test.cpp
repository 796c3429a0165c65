// Folding several PRJ files into the first in one pass gives the file that merging them one at a
// time gives, and refuses, leaving the first file unchanged, where any one step would.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "tests/support/prj_fixture.h"
#ifndef _WIN32
#include "tests/support/run_process.h"
#endif
#include "tests/support/temp_dir.h"

namespace durvane::merge {
namespace {

using fixture::BuildPrjFile;
using fixture::PrjLayoutDesc;
using fixture::PrjRecord;
using fixture::ReadBytes;
using fixture::TempDir;
using fixture::WriteBytes;

PrjLayoutDesc Model(int polygons, std::int32_t first_index, std::uint8_t seed) {
  PrjLayoutDesc s;
  for (int p = 0; p < polygons; ++p) {
    s.Polygon(first_index + p / 2, static_cast<std::uint8_t>(seed + p),
              {.index = 0, .strings = {std::string(static_cast<std::size_t>(p % 7), 'N')}});
  }
  s.ff04 = {{first_index, seed}};
  s.ff05 = {{first_index + 1, seed}, {first_index, seed}};
  return s;
}

// No polygon, no FF03 or FF08 section.
PrjLayoutDesc Bare() {
  PrjLayoutDesc s;
  s.ff03.reset();
  s.ff08.reset();
  return s;
}

PrjLayoutDesc WithNodeSections(PrjLayoutDesc s) {
  s.ff03 = std::vector<PrjRecord>{{2, 9}, {0, 8}};
  s.ff08 = std::vector<PrjRecord>{{5, 7}};
  return s;
}

struct Chain {
  const char* what;
  std::vector<PrjLayoutDesc> files;  // the first, then the files folded into it
  std::vector<int> order;            // which files, by index into `files`, in argument order
};

TEST(ManyFileMerge, GivesWhatMergingOneAtATimeGives) {
  PrjLayoutDesc stray_counts = Model(3, 0, 40);
  stray_counts.count_fields[1] = 17;  // FF01 count field disagreeing with the polygon count
  const Chain chains[] = {
      {"three models", {Model(4, 0, 1), Model(3, 0, 20), Model(5, 2, 30)}, {0, 1, 2}},
      {"an empty file in the middle", {Model(4, 0, 1), Bare(), Model(2, 0, 9)}, {0, 1, 2}},
      {"into an empty file, sections appearing late",
       {Bare(), Model(2, 0, 3), WithNodeSections(Model(1, 0, 5))},
       {0, 1, 2}},
      {"the same file three times", {Model(3, 1, 7)}, {0, 0, 0, 0}},
      {"files without polygons",
       {WithNodeSections(Bare()), WithNodeSections(Bare()), Bare()},
       {0, 1, 2, 1}},
      {"count fields that disagree", {Model(2, 0, 1), stray_counts, Model(1, 0, 2)}, {0, 1, 2}},
  };
  for (const Chain& chain : chains) {
    SCOPED_TRACE(chain.what);
    TempDir dir;
    std::vector<std::filesystem::path> paths;
    for (std::size_t i = 0; i < chain.files.size(); ++i) {
      paths.push_back(dir / ("f" + std::to_string(i) + ".prj"));
      WriteBytes(paths.back(), BuildPrjFile(chain.files[i]));
    }
    const auto one_at_a_time = dir / "one_at_a_time.prj";
    const auto one_pass = dir / "one_pass.prj";
    WriteBytes(one_at_a_time, ReadBytes(paths[chain.order[0]]));
    WriteBytes(one_pass, ReadBytes(paths[chain.order[0]]));
    std::vector<std::filesystem::path> others;
    MergeResult last;
    for (std::size_t k = 1; k < chain.order.size(); ++k) {
      others.push_back(paths[chain.order[k]]);
      last = MergePrj(one_at_a_time, others.back(), Durability::kNoSync);
    }
    const MergeResult result = MergePrjFiles(one_pass, others, Durability::kNoSync);
    EXPECT_EQ(ReadBytes(one_pass), ReadBytes(one_at_a_time));
    EXPECT_EQ(result.polygon_count, last.polygon_count);
    EXPECT_EQ(result.index_shifts.back(), last.index_shifts.front());
  }
}

TEST(ManyFileMerge, AnyBadFileRefusesTheWholeMergeAndNamesIt) {
  constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();
  TempDir dir;
  const auto first = dir / "first.prj";
  const auto second = dir / "second.prj";
  const auto junk = dir / "junk.prj";
  const auto high = dir / "high.prj";
  WriteBytes(first, BuildPrjFile(Model(4, 0, 1)));
  WriteBytes(second, BuildPrjFile(Model(3, 0, 2)));
  WriteBytes(junk, fixture::TextBytes("no PRJ file"));
  // Indices that fit alone, and fit after the first file, but not after the first two.
  WriteBytes(high, BuildPrjFile(Model(2, kLongMax - 3, 3)));
  struct Case {
    std::vector<std::filesystem::path> others;
    std::filesystem::path blamed;
    std::string says;
  };
  const Case cases[] = {
      {{second, junk}, junk, "not a valid PRJ file"},
      {{second, dir / "missing.prj"}, dir / "missing.prj", "No such file"},
      {{second, high}, first, "cannot merge '" + high.string() + "' into it: "},
  };
  const auto before = ReadBytes(first);
  for (const Case& c : cases) {
    try {
      MergePrjFiles(first, c.others);
      ADD_FAILURE() << c.blamed << " was merged";
    } catch (const MergeFileError& e) {
      EXPECT_EQ(e.file(), c.blamed);
      EXPECT_NE(e.detail().find(c.says), std::string::npos) << e.detail();
    }
    EXPECT_EQ(ReadBytes(first), before);
  }
  // The same overflow one file at a time: the second step refuses as well.
  MergePrj(first, second);
  EXPECT_THROW(MergePrj(first, high), MergeFileError);
}

#ifndef _WIN32
// The tool is started as a child process, through POSIX calls.
TEST(ManyFileMerge, CommandNamesEveryFileFolded) {
  TempDir dir;
  const auto first = dir / "a.prj";
  const auto second = dir / "b.prj";
  WriteBytes(first, BuildPrjFile(Model(2, 0, 1)));
  WriteBytes(second, BuildPrjFile(Model(3, 0, 2)));
  const auto r =
      fixture::RunProcess(DURVANE_BIN_DIR "/durvane",
                          {"merge", "--no-sync", first.string(), second.string(), second.string()});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "merged " + second.string() + " and " + second.string() + " into " +
                       first.string() + ": 8 polygons, " +
                       std::to_string(std::filesystem::file_size(first)) +
                       " bytes, top-level indices moved by 1 and 3\n");
}
#endif

}  // namespace
}  // namespace durvane::merge
