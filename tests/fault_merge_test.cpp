// Faults while a merge writes its result over the first file: the disk filling up, the folder
// read-only, the process killed halfway. The first file must stay whole with its old bytes, the
// second must not change, and a temporary file left by a killed merge goes with the next run.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/error.h"
#include "core/file_io.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/in_memory_merge.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane::merge {
namespace {

using namespace prj;

using namespace fixture;

class MergeFault : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to all, so that a child running as "nobody" reaches the files.
    std::filesystem::permissions(dir_.path(), std::filesystem::perms(0755));
    WriteBytes(first_, first_bytes_);
    WriteBytes(second_, second_bytes_);
  }

  std::string Merge() const {
    try {
      MergePrj(first_, second_);
      return "ok";
    } catch (const Error& e) {
      return std::string("error: ") + e.what();
    }
  }

  std::vector<std::byte> Merged() const {
    std::vector<std::byte> second = second_bytes_;
    return MergePrjImages(first_bytes_, ReadPrjLayout(first_bytes_), second, ReadPrjLayout(second))
        .Flatten();
  }

  // Both files as they were, and nothing else in their folder.
  void ExpectUnchanged() const {
    EXPECT_EQ(ReadBytes(first_), first_bytes_);
    EXPECT_EQ(ReadBytes(second_), second_bytes_);
    EXPECT_EQ(ListTree(dir_.path()), (std::vector<std::string>{"first.prj", "second.prj"}));
  }

  std::string CannotWriteFirst(const std::string& reason) const {
    return "error: '" + first_.string() + "': cannot write '" + first_.string() + "': " + reason;
  }

  TempDir dir_;
  std::filesystem::path first_ = dir_ / "first.prj";
  std::filesystem::path second_ = dir_ / "second.prj";
  std::vector<std::byte> first_bytes_ = ConvertToPrj(SampleModel());
  std::vector<std::byte> second_bytes_ = ConvertToPrj(SampleModel());
};

// The merged file is larger than the limit, so its write fails with EFBIG, as it would
// with ENOSPC on a full disk.
constexpr std::uint64_t kSmallFileLimit = 1024;

TEST_F(MergeFault, DiskFullLeavesBothFilesWhole) {
  ASSERT_GT(Merged().size(), kSmallFileLimit);
  const auto outcome = RunInChild({.file_size_limit = kSmallFileLimit}, [&] { return Merge(); });
  EXPECT_EQ(outcome.report, CannotWriteFirst("File too large"));
  ExpectUnchanged();
}

// Permission bits do not stop root, so as root the merge runs as "nobody" in a child.
TEST_F(MergeFault, ReadOnlyFolderLeavesBothFilesWhole) {
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0555));
  const auto outcome = RunInChild({.drop_privileges = true}, [&] { return Merge(); });
  if (outcome.privileges_unavailable) GTEST_SKIP() << "running as root, cannot become nobody";
  EXPECT_EQ(outcome.report, CannotWriteFirst("Permission denied"));
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0755));
  ExpectUnchanged();
}

TEST_F(MergeFault, KilledWhileWritingKeepsTheOldFileAndTheNextMergeRemovesTheLeftover) {
  // SIGKILL arrives when a write would take the merged file's temporary copy past 1024 bytes.
  // The first file's records and the second's are written in separate passes, not in file
  // order, so the copy may hold less.
  // Named temporary files here; KilledConversion covers unnamed ones, which leave nothing.
  const auto outcome = RunInChild({.file_size_limit = kSmallFileLimit, .kill_at_limit = true}, [&] {
    AllowUnnamedTemporaries(false);
    return Merge();
  });
  ASSERT_EQ(outcome.signal, SIGKILL) << outcome.report;
  EXPECT_EQ(ReadBytes(first_), first_bytes_);
  const std::vector<std::string> left = ListTree(dir_.path());
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left[0].rfind(kRunLogPrefix, 0), 0u) << left[0];
  EXPECT_EQ(left[1].rfind(kTemporaryPrefix, 0), 0u) << left[1];
  EXPECT_LE(std::filesystem::file_size(dir_ / left[1]), kSmallFileLimit);

  EXPECT_EQ(Merge(), "ok");
  EXPECT_EQ(ListTree(dir_.path()), (std::vector<std::string>{"first.prj", "second.prj"}));
  EXPECT_EQ(ReadBytes(first_), Merged());
  EXPECT_EQ(ReadBytes(second_), second_bytes_);
}

// Another program changes a file while the merge reads it: the merge is refused, and the
// file keeps what the other program wrote.
TEST_F(MergeFault, AFileChangedDuringTheMergeIsRefused) {
  struct ObserverReset {
    ~ObserverReset() { SetCommitStepObserver({}); }
  } reset;
  for (const bool change_first : {true, false}) {
    SCOPED_TRACE(change_first ? "FIRST changed" : "SECOND changed");
    const auto changed = change_first ? first_ : second_;
    std::vector<std::byte> edited = ReadBytes(changed);
    edited.back() = std::byte{0x5a};
    SetCommitStepObserver([&](CommitStep at, std::size_t) {
      if (at != CommitStep::kOpened) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later modification time
      WriteBytes(changed, edited);
    });
    const std::string outcome = Merge();
    SetCommitStepObserver({});
    EXPECT_NE(outcome.find("changed"), std::string::npos) << outcome;
    EXPECT_EQ(ReadBytes(changed), edited);
    EXPECT_EQ(ReadBytes(change_first ? second_ : first_),
              change_first ? second_bytes_ : first_bytes_);
    WriteBytes(changed, change_first ? first_bytes_ : second_bytes_);
  }
}

}  // namespace
}  // namespace durvane::merge
