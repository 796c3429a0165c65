#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/file_io.h"
#include "core/little_endian.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/in_memory_merge.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/temp_dir.h"

namespace durvane::merge {
namespace {

using namespace prj;

using fixture::BuildPrjFile;
using fixture::MergePrjImages;
using fixture::PrjLayoutDesc;
using fixture::PrjRecord;
using fixture::TempDir;

std::filesystem::path Put(const TempDir& dir, const std::string& name,
                          const std::vector<std::byte>& bytes) {
  fixture::WriteBytes(dir / name, bytes);
  return dir / name;
}

PrjLayoutDesc FirstFile() {
  PrjLayoutDesc s;
  s.Polygon(0, 1).Polygon(1, 2, {.flag = 1, .strings = {"A", "B", "", "D"}});
  s.ff03 = std::vector<PrjRecord>{{0, 3}};
  s.ff04 = {{0, 4}, {1, 5}};
  s.ff05 = {{0, 6}, {1, 7}};
  return s;
}

PrjLayoutDesc SecondFile() {
  PrjLayoutDesc s;
  s.Polygon(0, 8);
  s.ff03.reset();
  s.ff04 = {{0, 9}};
  s.ff05 = {{0, 10}};
  s.ff08 = std::vector<PrjRecord>{{0, 11}};
  return s;
}

std::vector<std::byte> Expected(const std::vector<std::byte>& first,
                                std::vector<std::byte> second) {
  return MergePrjImages(first, ReadPrjLayout(first), second, ReadPrjLayout(second)).Flatten();
}

TEST(MergeRun, ReplacesTheFirstFileAndLeavesTheSecond) {
  TempDir dir;
  const auto first = BuildPrjFile(FirstFile()), second = BuildPrjFile(SecondFile());
  const auto a = Put(dir, "a.prj", first), b = Put(dir, "b.prj", second);
  const MergeResult result = MergePrj(a, b);
  const auto merged = ReadFile(a);
  EXPECT_EQ(merged, Expected(first, second));
  EXPECT_EQ(ReadFile(b), second);
  EXPECT_EQ(result.polygon_count, 3);
  EXPECT_EQ(result.index_shifts.front(), 2);
  EXPECT_EQ(result.bytes_written, merged.size());
  EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
}

TEST(MergeRun, TheSameFileOnBothSidesIsMergedWithItself) {
  TempDir dir;
  const auto first = BuildPrjFile(FirstFile());
  const auto a = Put(dir, "a.prj", first);
  MergePrj(a, dir / "." / "a.prj");
  EXPECT_EQ(ReadFile(a), Expected(first, first));
}

TEST(MergeRun, FollowsASymbolicLinkAndKeepsPermissions) {
  TempDir dir;
  const auto first = BuildPrjFile(FirstFile()), second = BuildPrjFile(SecondFile());
  const auto target = Put(dir, "target.prj", first);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  std::filesystem::create_symlink("target.prj", dir / "link.prj");
  MergePrj(dir / "link.prj", Put(dir, "b.prj", second));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.prj"));
  EXPECT_EQ(ReadFile(target), Expected(first, second));
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Each kind of invalid input: the merge fails naming the file at fault, and the folder holds
// exactly what it held before.
TEST(MergeRun, InvalidInputLeavesTheFirstFileUnchanged) {
  const auto first = BuildPrjFile(FirstFile()), second = BuildPrjFile(SecondFile());
  const std::vector<std::byte> truncated(second.begin(), second.end() - 1);
  auto bad_tag = second;
  StoreI32(bad_tag.data() + 4 + 52, 0xFF02);
  auto trailing = first;
  trailing.push_back(std::byte{0});
  PrjLayoutDesc at_max = FirstFile();
  at_max.leading.back().index = 0x7FFFFFFF;

  struct Case {
    const char* what;
    std::vector<std::byte> first, second;
    bool first_at_fault;
    std::string fragment;
  };
  const std::vector<Case> cases = {
      {"second cut short", first, truncated, false, "not a valid PRJ file: offset 0x"},
      {"second with a wrong tag", first, bad_tag, false, "expected the tag 0xff01"},
      {"first with trailing bytes", trailing, second, true, "1 byte follow"},
      {"first file empty", {}, second, true, "the polygon count would end at 0x4"},
      {"index shift overflow", BuildPrjFile(at_max), second, true, "cannot merge '"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const auto a = Put(dir, "a.prj", c.first), b = Put(dir, "b.prj", c.second);
    try {
      MergePrj(a, b);
      ADD_FAILURE() << "merged";
    } catch (const MergeFileError& e) {
      EXPECT_EQ(e.file(), c.first_at_fault ? a : b);
      EXPECT_NE(e.detail().find(c.fragment), std::string::npos) << e.detail();
      EXPECT_EQ(std::string(e.what()), "'" + e.file().string() + "': " + e.detail());
    }
    EXPECT_EQ(ReadFile(a), c.first);
    EXPECT_EQ(ReadFile(b), c.second);
    EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
  }
}

TEST(MergeRun, MissingOrUnreadableFilesAreNamed) {
  TempDir dir;
  const auto first = BuildPrjFile(FirstFile());
  const auto a = Put(dir, "a.prj", first);
  try {
    MergePrj(a, dir / "missing.prj");
    ADD_FAILURE() << "merged";
  } catch (const MergeFileError& e) {
    EXPECT_EQ(e.file(), dir / "missing.prj");
  }
  std::filesystem::create_directory(dir / "folder.prj");
  EXPECT_THROW(MergePrj(dir / "folder.prj", a), MergeFileError);
  EXPECT_THROW(MergePrj(a, dir / "folder.prj"), MergeFileError);
  EXPECT_EQ(ReadFile(a), first);
}

// A merge killed at some moment while it runs leaves the first file old or new, and whole.
TEST(MergeRun, AMergeKilledWhileWritingLeavesTheOldOrTheNewFile) {
  PrjLayoutDesc big;
  for (int p = 0; p < 40000; ++p) {
    big.Polygon(p, static_cast<std::uint8_t>(p), {.flag = 1, .strings = {"A", "B", "C", "D"}});
  }
  const auto old_bytes = BuildPrjFile(big);
  const auto new_bytes = Expected(old_bytes, old_bytes);
  TempDir dir;
  const auto a = dir / "a.prj";
  const auto b = Put(dir, "b.prj", old_bytes);

  // Runs the merge in a child and sends it SIGKILL after `delay`, unless it is negative.
  auto run_child = [&](std::chrono::microseconds delay) {
    Put(dir, "a.prj", old_bytes);
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        MergePrj(a, b);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    EXPECT_GE(child, 0);
    if (delay.count() >= 0) {
      std::this_thread::sleep_for(delay);
      ::kill(child, SIGKILL);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
  };

  // Time one whole merge, then kill others at moments spread over that time and beyond.
  const auto start = std::chrono::steady_clock::now();
  run_child(std::chrono::microseconds(-1));
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  ASSERT_EQ(ReadFile(a), new_bytes);

  int saw_old = 0, saw_new = 0;
  for (int percent : {0, 5, 20, 40, 60, 75, 85, 90, 95, 98, 100, 105, 120, 200}) {
    const auto delay_us = whole * percent / 100;
    run_child(delay_us);
    const auto now = ReadFile(a);
    if (now == old_bytes) {
      ++saw_old;
    } else {
      EXPECT_EQ(now, new_bytes) << "killed after " << delay_us.count()
                                << " us, the file is neither old nor new";
      ++saw_new;
    }
    // What a killed merge leaves, the next run's sweep removes, keeping the file whole.
    RemoveStaleTemporaries(dir.path());
    EXPECT_EQ(fixture::ListTree(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
    const auto swept = ReadFile(a);
    EXPECT_TRUE(swept == old_bytes || swept == new_bytes) << "after the sweep";
  }
  std::printf("killed merges (a whole one takes %lld us): %d left the old file, %d the new one\n",
              static_cast<long long>(whole.count()), saw_old, saw_new);
}

}  // namespace
}  // namespace durvane::merge
