// One writer per file at a time: an exclusive lock a run holds on what it reads and replaces.
#pragma once

#include <filesystem>
#include <functional>

#include "core/platform.h"

namespace durvane {

// What a run does when another run holds the lock it needs.
struct LockWait {
  // false: fail at once with an Error instead of waiting.
  bool wait = true;
  // Called once, before waiting, with the path waited for; lets a front end say why it seems
  // to hang.
  std::function<void(const std::filesystem::path&)> on_wait;
};

// An exclusive lock (flock(2); a named mutex on Windows) on a file or folder, held until destroyed.
// Other durvane runs that lock the same path wait for it; programs that do not lock are not
// stopped.
//
// A file is replaced by rename, so a lock on it is a lock on one version of it: after the
// lock is granted the path is checked to still name the locked file, and when another run has
// replaced it meanwhile the new file is locked instead. Locking the file itself rather than a
// lock file beside it leaves nothing behind in the user's folder. A symbolic link is followed:
// the file it names is locked. On a file system that cannot lock, the run goes on unlocked.
class WriterLock {
 public:
  // Locks the file or folder `path` names, which must exist. Throws Error naming `path` when
  // it cannot be opened or locked, or when `wait.wait` is false and another run holds it.
  WriterLock(const std::filesystem::path& path, const LockWait& wait);
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock();

 private:
  platform::FileLock lock_;
};

}  // namespace durvane
