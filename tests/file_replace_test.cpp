// Files a run replaces, under kills, failures, interrupts, links, owners and a second run at
// the same time: each destination ends old or new, all of them alike, and nothing else in the
// folder is touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/file_io.h"
#include "core/interrupt_cleanup.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "usecases/conversion_run.h"
#include "tests/support/child_process.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;
using Tree = std::map<std::string, std::vector<std::byte>>;

// Every file of a folder with its bytes.
Tree ReadTree(const std::filesystem::path& folder) {
  Tree tree;
  for (const std::string& name : ListTree(folder)) tree[name] = ReadBytes(folder / name);
  return tree;
}

// Resets the commit seam when a test ends, however it ends.
struct ObserverReset {
  ~ObserverReset() { SetCommitStepObserver({}); }
};

// A QEL directory holding an earlier output of sample.opt (every file but the last bitmap,
// which the next conversion adds) and two files of the user's, one named like a temporary.
struct ConversionFolder {
  TempDir tmp;
  std::filesystem::path output = tmp / "qel" / "sample";
  Tree old_tree, new_tree;

  ConversionFolder() {
    std::filesystem::create_directory(tmp / "in");
    std::filesystem::create_directory(tmp / "qel");
    WriteBytes(tmp / "in" / "sample.opt", SampleModel().bytes);
    const ConversionResult first = RunConversion(tmp / "qel", tmp / "in", "sample.opt");
    new_tree = ReadTree(output);
    EXPECT_GE(new_tree.size(), 3u);
    for (auto& [name, bytes] : new_tree) WriteBytes(output / name, TextBytes("old " + name));
    std::filesystem::remove(first.bitmaps.back());
    const std::vector<std::string> user_files = {"notes.txt", ".notes.txt.durvane-tmp-99999-0"};
    for (const std::string& name : user_files) {
      WriteBytes(output / name, TextBytes("user's"));
      new_tree[name] = TextBytes("user's");
    }
    old_tree = ReadTree(output);
  }
  ConversionResult Convert() const { return RunConversion(tmp / "qel", tmp / "in", "sample.opt"); }
  std::size_t FileCount() const { return new_tree.size() - 2; }
};

TEST(ReplaceKillPoints, EveryKillLeavesTheOldOutputOrTheNewAfterTheNextSweep) {
  const ObserverReset reset;
  const std::size_t count = ConversionFolder().FileCount();
  // Kill points: before each file's backup and rename, after the last rename, after "done".
  for (std::size_t step = 0; step <= count + 1; ++step) {
    SCOPED_TRACE("killed at replace step " + std::to_string(step));
    const ConversionFolder folder;
    const auto outcome = RunInChild({}, [&] {
      SetCommitStepObserver([&](CommitStep at, std::size_t n) {
        if (at == CommitStep::kReplace && n == step) ::kill(::getpid(), SIGKILL);
      });
      folder.Convert();
      return std::string("finished");
    });
    ASSERT_EQ(outcome.signal, SIGKILL) << outcome.report;
    RemoveStaleTemporaries(folder.output);
    EXPECT_EQ(ReadTree(folder.output), step <= count ? folder.old_tree : folder.new_tree);
    folder.Convert();
    EXPECT_EQ(ReadTree(folder.output), folder.new_tree);
  }
}

TEST(ReplaceKillPoints, AFailureAtAnyStepPutsTheOldOutputBackAtOnce) {
  const ObserverReset reset;
  const std::size_t count = ConversionFolder().FileCount();
  for (std::size_t step = 0; step <= count; ++step) {
    SCOPED_TRACE("failed at replace step " + std::to_string(step));
    const ConversionFolder folder;
    SetCommitStepObserver([&](CommitStep at, std::size_t n) {
      if (at == CommitStep::kReplace && n == step) throw Error("planted failure");
    });
    EXPECT_THROW(folder.Convert(), Error);
    SetCommitStepObserver({});
    EXPECT_EQ(ReadTree(folder.output), folder.old_tree);
  }
}

// A rename that really fails: the temporary file is gone when its turn comes.
TEST(ReplaceKillPoints, AFailedRenameLeavesNoTemporaryFile) {
  const ObserverReset reset;
  const ConversionFolder folder;
  SetCommitStepObserver([&](CommitStep at, std::size_t n) {
    if (at != CommitStep::kReplace || n != 1) return;
    for (const auto& e : std::filesystem::directory_iterator(folder.output)) {
      const std::string name = e.path().filename().string();
      if (name.find(kTemporaryPrefix) != std::string::npos && name.ends_with("-1")) {
        std::filesystem::remove(e.path());
      }
    }
  });
  EXPECT_THROW(folder.Convert(), Error);
  EXPECT_EQ(ReadTree(folder.output), folder.old_tree);
}

// A run that is still alive keeps its files; only a dead run's are swept, and never a user's
// file that merely looks like a temporary one.
TEST(StaleTemporaries, OnlyDeadRunsFilesAreSwept) {
  const ObserverReset reset;
  struct Case {
    const char* name;
    bool owner_alive;
  };
  for (const Case c : {Case{"dead run", false}, Case{"live run", true}}) {
    SCOPED_TRACE(c.name);
    const ConversionFolder folder;
    int to_parent[2], to_child[2];
    ASSERT_EQ(::pipe(to_parent), 0);
    ASSERT_EQ(::pipe(to_child), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Stops with its temporary files staged, says so, and waits to be told to die.
      SetCommitStepObserver([&](CommitStep at, std::size_t n) {
        if (at != CommitStep::kStaged || n != 0) return;
        char byte = 's';
        if (::write(to_parent[1], &byte, 1) != 1) ::_exit(3);
        if (::read(to_child[0], &byte, 1) != 1) ::_exit(3);
        ::_exit(2);
      });
      try {
        folder.Convert();
      } catch (...) {
      }
      ::_exit(1);
    }
    char byte = 0;
    ASSERT_EQ(::read(to_parent[0], &byte, 1), 1);
    if (!c.owner_alive) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    const Tree before = ReadTree(folder.output);
    EXPECT_GT(before.size(), folder.old_tree.size());  // the run's log and temporary files
    RemoveStaleTemporaries(folder.output);
    EXPECT_EQ(ReadTree(folder.output), c.owner_alive ? before : folder.old_tree);
    if (c.owner_alive) {
      ASSERT_EQ(::write(to_child[1], &byte, 1), 1);
      ::waitpid(child, nullptr, 0);
    }
    for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) ::close(fd);
  }
}

// SIGINT and SIGTERM in the middle of a run: the status says which, and no file of the run is
// left behind.
TEST(Interrupts, RemoveTheRunsTemporaryFilesAndExitWithTheSignalsStatus) {
  const ObserverReset reset;
  struct Case {
    int signal_number;
    int status;
    bool merge;
  };
  for (const Case c :
       {Case{SIGINT, 130, false}, Case{SIGTERM, 143, true}, Case{SIGINT, 130, true}}) {
    SCOPED_TRACE(std::to_string(c.signal_number) + (c.merge ? " in a merge" : " in a conversion"));
    const ConversionFolder folder;
    const auto prj = folder.output / "sample.prj";
    const auto second = folder.tmp / "second.prj";
    WriteBytes(prj, ConvertToPrj(SampleModel()));
    WriteBytes(second, ConvertToPrj(SampleModel()));
    const Tree before = ReadTree(folder.output);
    const auto outcome = RunInChild({}, [&] {
      InstallInterruptCleanup();
      SetCommitStepObserver([&](CommitStep at, std::size_t) {
        if (at != CommitStep::kStaged) return;
        ::kill(::getpid(), c.signal_number);
        std::this_thread::sleep_for(std::chrono::seconds(10));
      });
      if (c.merge) {
        merge::MergePrj(prj, second);
      } else {
        folder.Convert();
      }
      return std::string("finished");
    });
    EXPECT_TRUE(outcome.exited) << outcome.report;
    EXPECT_EQ(outcome.exit_code, c.status);
    EXPECT_EQ(ReadTree(folder.output), before);
  }
}

// An interrupt that comes once the merge has replaced FIRST reports the merge as done (status
// 0), since running it again would merge SECOND twice.
TEST(Interrupts, AfterTheReplacementTheRunSaysItIsCompleteAndSucceeds) {
  const ObserverReset reset;
  const ConversionFolder folder;
  const auto prj = folder.output / "sample.prj";
  const auto second = folder.tmp / "second.prj";
  const auto said = folder.tmp / "said";
  WriteBytes(prj, ConvertToPrj(SampleModel()));
  WriteBytes(second, ConvertToPrj(SampleModel()));
  const auto outcome = RunInChild({}, [&] {
    InstallInterruptCleanup();
    CompleteAfterReplacedSets(1, [&] { WriteBytes(said, TextBytes("complete")); });
    SetCommitStepObserver([&](CommitStep at, std::size_t n) {
      if (at == CommitStep::kReplace && n == 2) ::kill(::getpid(), SIGINT);
    });
    merge::MergePrj(prj, second);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return std::string("not interrupted");
  });
  EXPECT_TRUE(outcome.exited) << outcome.report;
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(ReadBytes(said), TextBytes("complete"));
  EXPECT_GT(ReadBytes(prj).size(), ConvertToPrj(SampleModel()).size());
}

// One destination staged twice in a set: a failure after both renames puts back the file it
// had before the set, not the set's first version of it.
TEST(ReplaceKillPoints, AFailureUndoesADestinationNamedTwiceNewestFirst) {
  const ObserverReset reset;
  TempDir tmp;
  const auto file = tmp / "twice.prj";
  WriteBytes(file, TextBytes("before"));
  SetCommitStepObserver([](CommitStep at, std::size_t n) {
    if (at == CommitStep::kReplace && n == 2) throw Error("planted failure");
  });
  StagedFiles files;
  for (const char* text : {"one", "two"}) {
    const std::vector<std::byte> bytes = TextBytes(text);
    const std::span<const std::byte> pieces[] = {bytes};
    files.Stage(file, pieces);
  }
  EXPECT_THROW(files.Commit(), Error);
  EXPECT_EQ(ReadBytes(file), TextBytes("before"));
}

// Every staged file reaches the disk before the first of them replaces its destination.
TEST(ReplaceOrder, EveryFileIsFlushedBeforeAnyRename) {
  struct OperationsReset {
    ~OperationsReset() { platform::SetOperationObserver({}); }
  } reset;
  const ConversionFolder folder;
  std::vector<platform::Operation> seen;
  platform::SetOperationObserver([&](platform::Operation operation, const std::filesystem::path&) {
    seen.push_back(operation);
  });
  folder.Convert();
  platform::SetOperationObserver({});
  const auto first_rename = std::find(seen.begin(), seen.end(), platform::Operation::kRename);
  ASSERT_NE(first_rename, seen.end());
  EXPECT_EQ(static_cast<std::size_t>(
                std::count(seen.begin(), first_rename, platform::Operation::kFlushFile)),
            folder.FileCount());
  EXPECT_EQ(std::find(first_rename, seen.end(), platform::Operation::kFlushFile), seen.end());
}

// Every file a run writes follows a symbolic link at its name: the link stays and the file it
// names is replaced (or created, when the link dangles).
TEST(LinkLayouts, EveryWrittenFileFollowsTheLinkAtItsName) {
  struct Case {
    const char* name;
    bool link_prj;     // the PRJ file's name is a link into another folder
    bool link_bitmap;  // a bitmap's name is a link into another folder
    bool dangling;     // the link's target does not exist yet
    bool link_folder;  // the output folder is a link to another folder
  };
  const Case cases[] = {
      {"link at the PRJ name", true, false, false, false},
      {"link at a bitmap name", false, true, false, false},
      {"dangling link at a bitmap name", false, true, true, false},
      {"output folder is a link", false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ConversionFolder reference;
    TempDir tmp;
    std::filesystem::create_directory(tmp / "in");
    std::filesystem::create_directories(tmp / "qel");
    std::filesystem::create_directory(tmp / "elsewhere");
    WriteBytes(tmp / "in" / "sample.opt", SampleModel().bytes);
    const auto output = tmp / "qel" / "sample";
    if (c.link_folder) {
      std::filesystem::create_directory_symlink(tmp / "elsewhere", output);
    } else {
      std::filesystem::create_directory(output);
    }
    std::string linked;
    if (c.link_prj) linked = "sample.prj";
    for (const auto& [name, bytes] : reference.new_tree) {
      if (c.link_bitmap && linked.empty() && name.ends_with(".BMP")) linked = name;
    }
    if (!linked.empty()) {
      if (!c.dangling) WriteBytes(tmp / "elsewhere" / linked, TextBytes("old"));
      std::filesystem::create_symlink(tmp / "elsewhere" / linked, output / linked);
    }
    RunConversion(tmp / "qel", tmp / "in", "sample.opt");
    if (c.link_folder) {
      EXPECT_TRUE(std::filesystem::is_symlink(output));
    } else {
      ASSERT_FALSE(linked.empty());
      EXPECT_TRUE(std::filesystem::is_symlink(output / linked));
    }
    for (const auto& [name, bytes] : reference.new_tree) {
      if (name.find("notes") != std::string::npos) continue;
      EXPECT_EQ(ReadBytes(output / name), bytes) << name;
    }
    if (!linked.empty()) {
      EXPECT_EQ(ReadBytes(tmp / "elsewhere" / linked), reference.new_tree.at(linked));
    }
  }
}

// A replaced file keeps its owner, group and mode, set-user-ID included. Changing the owner
// needs root; as another user only the mode is checked.
TEST(ReplacedFile, KeepsOwnerGroupAndMode) {
  TempDir tmp;
  const auto first = tmp / "first.prj";
  const auto second = tmp / "second.prj";
  WriteBytes(first, ConvertToPrj(SampleModel()));
  WriteBytes(second, ConvertToPrj(SampleModel()));
  const bool root = ::geteuid() == 0;
  const uid_t owner = root ? 65534 : ::geteuid();
  const gid_t group = root ? 65534 : ::getegid();
  const mode_t mode = root ? 04751 : 0640;
  ASSERT_EQ(::chown(first.c_str(), owner, group), 0);
  ASSERT_EQ(::chmod(first.c_str(), mode), 0);
  merge::MergePrj(first, second);
  struct stat st {};
  ASSERT_EQ(::stat(first.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, owner);
  EXPECT_EQ(st.st_gid, group);
  EXPECT_EQ(st.st_mode & 07777, mode);
  EXPECT_GT(st.st_size, static_cast<off_t>(ConvertToPrj(SampleModel()).size()));
}

// Runs into one file at the same time: the second waits for the first (and says so), or with
// no waiting fails at once; no merge is ever lost.
TEST(ConcurrentRuns, ASecondMergeIntoOneFirstWaitsOrFailsAtOnce) {
  const ObserverReset reset;
  struct Case {
    const char* name;
    bool wait;
  };
  for (const Case c : {Case{"waiting", true}, Case{"not waiting", false}}) {
    SCOPED_TRACE(c.name);
    TempDir tmp;
    const auto first = tmp / "first.prj";
    const auto second = tmp / "second.prj";
    const auto sample = ConvertToPrj(SampleModel());
    WriteBytes(first, sample);
    WriteBytes(second, sample);
    // The same merge twice, one after the other, as the expected result.
    WriteBytes(tmp / "expected.prj", sample);
    merge::MergePrj(tmp / "expected.prj", second);
    const auto once = ReadBytes(tmp / "expected.prj");
    merge::MergePrj(tmp / "expected.prj", second);
    const auto twice = ReadBytes(tmp / "expected.prj");

    // The first merge holds its lock for a while, its file staged but not yet in place.
    const pid_t slow = ::fork();
    ASSERT_GE(slow, 0);
    if (slow == 0) {
      SetCommitStepObserver([](CommitStep at, std::size_t) {
        if (at == CommitStep::kStaged) std::this_thread::sleep_for(std::chrono::milliseconds(400));
      });
      merge::MergePrj(first, second);
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto started = std::chrono::steady_clock::now();
    const auto outcome = RunInChild({}, [&] {
      std::string said;
      LockWait wait{c.wait, [&](const std::filesystem::path& p) { said = p.string(); }};
      merge::MergePrj(first, second, Durability::kSync, wait);
      return "waited for " + said;
    });
    const auto took = std::chrono::steady_clock::now() - started;
    int status = 0;
    ASSERT_EQ(::waitpid(slow, &status, 0), slow);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (c.wait) {
      EXPECT_EQ(outcome.report, "waited for " + first.string());
      EXPECT_EQ(ReadBytes(first), twice);
    } else {
      EXPECT_EQ(outcome.exit_code, 1);
      EXPECT_NE(outcome.report.find("another durvane run is writing it"), std::string::npos)
          << outcome.report;
      EXPECT_LT(took, std::chrono::milliseconds(200));
      EXPECT_EQ(ReadBytes(first), once);
    }
  }
}

}  // namespace
}  // namespace durvane
