// Keeping the first file of a merge under a backup name, and putting it back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/temp_dir.h"
#include "usecases/merge_backup.h"
#include "usecases/merge_run.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace durvane::merge {
namespace {

using fixture::BuildPrjFile;
using fixture::PrjLayoutDesc;
using fixture::TempDir;
namespace fs = std::filesystem;

std::vector<std::byte> PrjOf(int polygons) {
  PrjLayoutDesc s;
  for (int i = 0; i < polygons; ++i) s.Polygon(i, i + 1);
  return BuildPrjFile(s);
}

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Merged {
  std::vector<std::byte> before;  // the first file before the merge
  std::vector<std::byte> after;
  MergeBackup backup;
};

// Merges b.prj into a.prj in `dir`, keeping a.prj under `backup`.
Merged MergeWithBackup(const TempDir& dir, const fs::path& backup) {
  Merged m;
  m.before = PrjOf(2);
  fixture::WriteBytes(dir / "a.prj", m.before);
  fixture::WriteBytes(dir / "b.prj", PrjOf(3));
  const std::vector<fs::path> others{dir / "b.prj"};
  const MergeResult result = MergePrjFiles(dir / "a.prj", others, Durability::kNoSync, {}, backup);
  EXPECT_TRUE(result.backup.has_value());
  if (result.backup) m.backup = *result.backup;
  m.after = ReadFile(dir / "a.prj");
  return m;
}

TEST(MergeBackup, KeepsTheFirstFileByteForByteAndUndoPutsItBack) {
  TempDir dir;
  const Merged m = MergeWithBackup(dir, GnuBackupName(dir / "a.prj"));
  EXPECT_EQ(m.backup.backup, dir / "a.prj~");
  EXPECT_EQ(ReadFile(dir / "a.prj~"), m.before);
  EXPECT_NE(m.after, m.before);
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.prj", "a.prj~", "b.prj"}));

  UndoMerge(m.backup, Durability::kNoSync);
  EXPECT_EQ(ReadFile(dir / "a.prj"), m.before);
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
}

TEST(MergeBackup, WithoutABackupNameNoneIsMade) {
  TempDir dir;
  fixture::WriteBytes(dir / "a.prj", PrjOf(2));
  fixture::WriteBytes(dir / "b.prj", PrjOf(1));
  const std::vector<fs::path> others{dir / "b.prj"};
  EXPECT_FALSE(MergePrjFiles(dir / "a.prj", others, Durability::kNoSync).backup.has_value());
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
}

#ifndef _WIN32  // FIFOs and symbolic links
TEST(MergeBackup, WhatIsAtTheBackupNameIsReplacedOrRefusedAsAnOutput) {
  struct Case {
    std::string what;
    void (*plant)(const TempDir& dir);
    bool merged;
  };
  const Case cases[] = {
      {"an older backup", [](const TempDir& dir) { fixture::WriteBytes(dir / "a.prj~", PrjOf(7)); },
       true},
      {"a FIFO", [](const TempDir& dir) { ASSERT_EQ(mkfifo((dir / "a.prj~").c_str(), 0600), 0); },
       false},
      {"a folder", [](const TempDir& dir) { fs::create_directory(dir / "a.prj~"); }, false},
      {"a link to the first file",
       [](const TempDir& dir) { fs::create_symlink("a.prj", dir / "a.prj~"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::vector<std::byte> first = PrjOf(2);
    fixture::WriteBytes(dir / "a.prj", first);
    fixture::WriteBytes(dir / "b.prj", PrjOf(3));
    c.plant(dir);
    const std::vector<fs::path> others{dir / "b.prj"};
    if (c.merged) {
      MergePrjFiles(dir / "a.prj", others, Durability::kNoSync, {}, dir / "a.prj~");
      EXPECT_EQ(ReadFile(dir / "a.prj~"), first);
      EXPECT_NE(ReadFile(dir / "a.prj"), first);
    } else {
      EXPECT_THROW(MergePrjFiles(dir / "a.prj", others, Durability::kNoSync, {}, dir / "a.prj~"),
                   Error);
      EXPECT_EQ(ReadFile(dir / "a.prj"), first);
    }
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.prj", "a.prj~", "b.prj"}));
  }
}
#endif

TEST(MergeBackup, UndoRefusesWhenTheFirstFileChangedAndKeepsBoth) {
  struct Case {
    std::string what;
    void (*change)(const fs::path& first);
  };
  const Case cases[] = {
      {"rewritten, same size",
       [](const fs::path& first) {
         std::vector<std::byte> bytes = ReadFile(first);
         bytes.back() = std::byte{0x5a};
         fixture::WriteBytes(first, bytes);
         fs::last_write_time(first, fs::last_write_time(first) + std::chrono::seconds(3));
       }},
      {"grown", [](const fs::path& first) { fixture::WriteBytes(first, PrjOf(9)); }},
      {"replaced by another file",
       [](const fs::path& first) {
         const fs::path other = first.parent_path() / "other";
         fs::copy_file(first, other);
         fs::rename(other, first);
       }},
      {"removed", [](const fs::path& first) { fs::remove(first); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const Merged m = MergeWithBackup(dir, dir / ".a.prj.undo");
    c.change(dir / "a.prj");
    const bool exists = fs::exists(dir / "a.prj");
    const std::vector<std::byte> changed =
        exists ? ReadFile(dir / "a.prj") : std::vector<std::byte>{};
    try {
      UndoMerge(m.backup, Durability::kNoSync);
      ADD_FAILURE() << "put back";
    } catch (const Error& e) {
      const std::string message = e.what();
      if (exists) {
        EXPECT_NE(message.find("has changed since the merge"), std::string::npos) << message;
        EXPECT_NE(message.find(".a.prj.undo"), std::string::npos) << message;
      }
    }
    if (exists) {
      EXPECT_EQ(ReadFile(dir / "a.prj"), changed);
    }
    EXPECT_EQ(ReadFile(dir / ".a.prj.undo"), m.before);
  }
}

TEST(MergeBackup, DiscardRemovesOnlyTheBackupTheMergeMade) {
  TempDir dir;
  const Merged m = MergeWithBackup(dir, dir / ".a.prj.undo");
  EXPECT_TRUE(DiscardMergeBackup(m.backup));
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"a.prj", "b.prj"}));
  EXPECT_EQ(ReadFile(dir / "a.prj"), m.after);

  // Another file at the name since: it stays.
  const Merged again = MergeWithBackup(dir, dir / ".a.prj.undo");
  fs::remove(dir / ".a.prj.undo");
  fixture::WriteBytes(dir / ".a.prj.undo", PrjOf(1));
  EXPECT_FALSE(DiscardMergeBackup(again.backup));
  EXPECT_EQ(ReadFile(dir / ".a.prj.undo"), PrjOf(1));
}

}  // namespace
}  // namespace durvane::merge
