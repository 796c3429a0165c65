// Locks between runs: one writer per file, and a locked file can still be replaced.
#include "core/file_lock.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <thread>

#include "core/error.h"
#include "core/file_io.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

TEST(WriterLock, ASecondLockerWaitsOrIsRefusedAndTheLockedFileCanBeReplaced) {
  const fixture::TempDir dir;
  const auto file = dir / "base.prj";
  fixture::WriteBytes(file, fixture::TextBytes("old"));
  const LockWait no_wait{.wait = false};
  {
    const WriterLock held(file, no_wait);
    // Another locker (a thread here, another run in use) is refused while it is held.
    std::string refused;
    std::thread([&] {
      try {
        const WriterLock second(file, no_wait);
      } catch (const Error& e) {
        refused = e.what();
      }
    }).join();
    EXPECT_NE(refused.find("another durvane run is writing it"), std::string::npos) << refused;
    // The holder replaces the file it locked, as a merge does.
    const std::vector<std::byte> fresh = fixture::TextBytes("new");
    const std::span<const std::byte> pieces[] = {fresh};
    WriteFileAtomically(file, pieces);
    EXPECT_EQ(fixture::ReadBytes(file), fresh);
  }
  // Released: the next locker gets it at once.
  bool locked = false;
  std::thread([&] {
    const WriterLock next(file, no_wait);
    locked = true;
  }).join();
  EXPECT_TRUE(locked);
}

#ifndef _WIN32
// Threads stand in for runs here, which Windows' locks (one per name and process) do not allow.
// A run that waited while the holder replaced the file locks the new file, not the one it
// waited on: a third run must then be refused, or two runs would write the file at once.
TEST(WriterLock, AWaiterLocksTheFileThatReplacedTheOneItWaitedFor) {
  const fixture::TempDir dir;
  const auto file = dir / "base.prj";
  fixture::WriteBytes(file, fixture::TextBytes("old"));
  std::optional<WriterLock> first(std::in_place, file, LockWait{.wait = false});
  std::promise<void> waiting, locked, release;
  std::thread second([&] {
    const WriterLock waiter(
        file, LockWait{.wait = true, .on_wait = [&](const auto&) { waiting.set_value(); }});
    locked.set_value();
    release.get_future().wait();
  });
  waiting.get_future().wait();
  const std::vector<std::byte> fresh = fixture::TextBytes("new");
  const std::span<const std::byte> pieces[] = {fresh};
  WriteFileAtomically(file, pieces);
  first.reset();
  locked.get_future().wait();
  std::string refused;
  try {
    const WriterLock third(file, LockWait{.wait = false});
  } catch (const Error& e) {
    refused = e.what();
  }
  release.set_value();
  second.join();
  EXPECT_NE(refused.find("another durvane run is writing it"), std::string::npos) << refused;
}

#endif

}  // namespace
}  // namespace durvane
