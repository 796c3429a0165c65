#include "core/file_lock.h"

#include "core/error.h"

namespace durvane {
namespace {

// Whether `path` still names the file open as `file`.
bool StillNamed(const platform::File& file, const std::filesystem::path& path) {
  std::error_code error;
  const platform::FileStatus held = platform::Status(file, error);
  if (error) return false;
  const platform::FileStatus named = platform::PathStatus(path, true, error);
  return !error && named.kind != platform::FileKind::kMissing && held.SameFile(named);
}

}  // namespace

WriterLock::WriterLock(const std::filesystem::path& path, const LockWait& wait) {
  bool announced = false;
  for (;;) {
    // Opened for reading: folders and files alike, and a lock needs no write access.
    std::error_code error;
    platform::File file = platform::OpenForReading(path, error);
    if (error) ThrowSystemError("open", path, error);
    error = platform::TakeLock(file, lock_, false);
    // A file system that cannot lock at all (some network and user-space ones) lets the run
    // go on unlocked, as every run there must.
    if (error == std::errc::not_supported) return;
    if (error == std::errc::resource_unavailable_try_again) {
      if (!wait.wait) {
        ThrowFileError("lock", path, "another durvane run is writing it (not waiting for it)");
      }
      if (!announced && wait.on_wait) wait.on_wait(path);
      announced = true;
      error = platform::TakeLock(file, lock_, true);
    }
    if (error) ThrowSystemError("lock", path, error);
    const bool still_named = StillNamed(file, path);
    // The lock does not keep the file open: Windows could not replace it while it is.
    if (still_named) return;
    // The run that held the lock replaced the file: lock the new one.
    lock_.Release();
  }
}

WriterLock::~WriterLock() = default;

}  // namespace durvane
