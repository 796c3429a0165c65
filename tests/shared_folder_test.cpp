// Folders other users can write to: what they plant there (run logs, backups, links, device
// nodes at output names) never turns a run against the user who runs it. Each case differs
// from what durvane itself would leave in one way only. Cases that need a second user run as
// root, with uid 3000 as the other user, and are skipped otherwise.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "core/run_log.h"
#include "usecases/merge_run.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

constexpr uid_t kOtherUser = 3000;
const std::string kToken = "0123456789abcdef";

// Every file of a folder with its bytes.
std::map<std::string, std::vector<std::byte>> ReadTree(const std::filesystem::path& folder) {
  std::map<std::string, std::vector<std::byte>> tree;
  for (const std::string& name : ListTree(folder)) tree[name] = ReadBytes(folder / name);
  return tree;
}

bool IsRoot() {
  return ::geteuid() == 0;
}

FileIdentity IdentityOfPath(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  WriteBytes(path, TextBytes(text));
}

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<std::byte> bytes = ReadBytes(path);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A shared folder holding the victim's file, a file outside it, and a run log of a run that
// died while replacing `victim.txt`: its backup holds "planted" where the old file should be.
struct PlantedLog {
  TempDir tmp;
  std::filesystem::path shared = tmp / "shared";
  std::filesystem::path outside = tmp / "private.txt";
  std::filesystem::path log = shared / RunLogName(kToken);

  PlantedLog() {
    std::filesystem::create_directory(shared);
    std::filesystem::permissions(shared, std::filesystem::perms(01777));
    WriteText(shared / "victim.txt", "victim's");
    WriteText(outside, "private");
  }
  // A dead run's log naming `name`, with "planted" as its backup, which the log records as the
  // old file unless `old` names another.
  void Plant(const std::string& name, mode_t mode = 0600, std::filesystem::path old = {}) {
    const auto backup = shared / BackupName(kToken, 0);
    WriteText(backup, "planted");
    const std::vector<LoggedFile> files = {
        {name, IdentityOfPath(backup), IdentityOfPath(old.empty() ? backup : old)}};
    const std::string text = RunLogHeader(kToken) + StagedRecord(name) + ReplacingRecords(files);
    WriteText(log, text);
    ASSERT_EQ(::chmod(log.c_str(), mode), 0);
  }
};

TEST(PlantedRunLogs, AreLeftAloneWithAWarningAndChangeNothing) {
  struct Case {
    const char* name;
    bool needs_root;
    void (*plant)(PlantedLog&);
  };
  const Case cases[] = {
      {"a name outside the folder", false, [](PlantedLog& p) { p.Plant("../private.txt"); }},
      {"an absolute name", false, [](PlantedLog& p) { p.Plant(p.outside.string()); }},
      {"a log of another user", true,
       [](PlantedLog& p) {
         p.Plant("victim.txt");
         ASSERT_EQ(::chown(p.log.c_str(), kOtherUser, kOtherUser), 0);
       }},
      {"a log readable by others", false, [](PlantedLog& p) { p.Plant("victim.txt", 0644); }},
      {"a log that is a link to a log", false,
       [](PlantedLog& p) {
         p.Plant("victim.txt");
         std::filesystem::rename(p.log, p.tmp / "real-log");
         std::filesystem::create_symlink(p.tmp / "real-log", p.log);
       }},
      {"a log with a second name", false,
       [](PlantedLog& p) {
         p.Plant("victim.txt");
         std::filesystem::create_hard_link(p.log, p.tmp / "second-name");
       }},
      {"a log larger than any run writes", false,
       [](PlantedLog& p) {
         p.Plant("victim.txt");
         std::filesystem::resize_file(p.log, kMaxRunLogBytes + 1);
       }},
      {"a backup that is not the file the log recorded", false,
       [](PlantedLog& p) { p.Plant("victim.txt", 0600, p.shared / "victim.txt"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && !IsRoot()) {
      std::cout << "skipped \"" << c.name << "\": a second user needs root\n";
      continue;
    }
    PlantedLog p;
    c.plant(p);
    const auto planted = ReadTree(p.shared);
    const std::vector<std::byte> picture = TextBytes("picture");
    const std::span<const std::byte> pieces[] = {picture};
    const std::vector<std::string> warnings = WriteFileAtomically(p.shared / "pic.png", pieces);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(RunLogName(kToken)), std::string::npos) << warnings[0];
    EXPECT_EQ(ReadText(p.outside), "private");
    auto now = ReadTree(p.shared);
    EXPECT_EQ(now.extract("pic.png").mapped(), picture);
    EXPECT_EQ(now, planted);
  }
}

// The same log as the victim's own is acted on: the old file comes back.
TEST(PlantedRunLogs, TheUsersOwnDeadLogIsStillRecovered) {
  PlantedLog p;
  p.Plant("victim.txt");
  const Sweep sweep = RemoveStaleTemporaries(p.shared);
  EXPECT_TRUE(sweep.warnings.empty());
  EXPECT_EQ(ReadText(p.shared / "victim.txt"), "planted");
  EXPECT_EQ(ListTree(p.shared), std::vector<std::string>{"victim.txt"});
}

// Links at output names: in a folder others can write to, only links of this user or of the
// folder's owner are followed, as the kernel's protected_symlinks has it.
TEST(OutputLinks, AnotherUsersLinkInASharedFolderIsRefused) {
  struct Case {
    const char* name;
    mode_t folder_mode;
    uid_t folder_owner;  // 0: this user
    uid_t link_owner;    // 0: this user
    bool followed;
  };
  const uid_t me = ::geteuid();
  const Case cases[] = {
      {"sticky folder, another user's link", 01777, me, kOtherUser, false},
      {"folder writable by all, another user's link", 0777, me, kOtherUser, false},
      {"sticky folder, this user's link", 01777, kOtherUser, me, true},
      {"sticky folder, the folder owner's link", 01777, kOtherUser, kOtherUser, true},
      {"private folder, another user's link", 0755, me, kOtherUser, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if ((c.folder_owner != me || c.link_owner != me) && !IsRoot()) {
      std::cout << "skipped \"" << c.name << "\": a second user needs root\n";
      continue;
    }
    TempDir tmp;
    const auto shared = tmp / "shared";
    const auto target = tmp / "conf";
    std::filesystem::create_directory(shared);
    WriteText(target, "root's");
    std::filesystem::create_symlink(target, shared / "pic.png");
    ASSERT_EQ(::lchown((shared / "pic.png").c_str(), c.link_owner, c.link_owner), 0);
    ASSERT_EQ(::chown(shared.c_str(), c.folder_owner, c.folder_owner), 0);
    ASSERT_EQ(::chmod(shared.c_str(), c.folder_mode), 0);
    const std::vector<std::byte> picture = TextBytes("picture");
    const std::span<const std::byte> pieces[] = {picture};
    std::string error;
    try {
      WriteFileAtomically(shared / "pic.png", pieces);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(shared / "pic.png"));
    if (c.followed) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(ReadBytes(target), picture);
    } else {
      EXPECT_NE(error.find("another user made in a folder others can write to"), std::string::npos)
          << error;
      EXPECT_EQ(ReadText(target), "root's");
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared), {}), 1);
    }
  }
}

// Only regular files are replaced: a node of another kind at the output name stays.
TEST(OutputKinds, ANameThatIsNotARegularFileIsRefused) {
  struct Case {
    const char* name;
    const char* error;
    bool (*make)(const std::filesystem::path&);
  };
  const Case cases[] = {
      {"FIFO", "it is a FIFO, not a regular file",
       [](const std::filesystem::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; }},
      {"device", "it is a device, not a regular file",
       [](const std::filesystem::path& p) {
         return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
       }},
      {"socket", "it is a socket, not a regular file",
       [](const std::filesystem::path& p) {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         if (p.native().size() >= sizeof address.sun_path) return false;
         p.native().copy(address.sun_path, p.native().size());
         const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
         ::close(fd);
         return bound;
       }},
      {"folder", "it is a directory",
       [](const std::filesystem::path& p) { return std::filesystem::create_directory(p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir tmp;
    const auto node = tmp / "out.png";
    if (!c.make(node)) {
      std::cout << "skipped \"" << c.name << "\": cannot make one here\n";
      continue;
    }
    const auto before = std::filesystem::symlink_status(node).type();
    const std::vector<std::byte> picture = TextBytes("picture");
    const std::span<const std::byte> pieces[] = {picture};
    std::string error;
    try {
      WriteFileAtomically(node, pieces);
    } catch (const Error& e) {
      error = e.what();
    }
    EXPECT_EQ(error, "cannot write '" + node.string() + "': " + c.error);
    EXPECT_EQ(std::filesystem::symlink_status(node).type(), before);
    EXPECT_EQ(ListTree(tmp.path()).size(), 1u);
  }
}

// Temporary and backup names do not grow with the destination's: the longest legal name can
// be written and replaced.
TEST(OutputNames, TheLongestLegalNameIsWrittenAndReplaced) {
  TempDir tmp;
  const auto path = tmp / (std::string(251, 'a') + ".prj");
  for (const char* text : {"first", "second"}) {
    const std::vector<std::byte> bytes = TextBytes(text);
    const std::span<const std::byte> pieces[] = {bytes};
    WriteFileAtomically(path, pieces);
    EXPECT_EQ(ReadText(path), text);
  }
  EXPECT_EQ(ListTree(tmp.path()).size(), 1u);
}

}  // namespace
}  // namespace durvane
