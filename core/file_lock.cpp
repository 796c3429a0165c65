#include "core/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/error.h"

namespace durvane {
namespace {

// Whether `path` still names the file open as `fd`.
bool StillNamed(int fd, const std::filesystem::path& path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

WriterLock::WriterLock(const std::filesystem::path& path, const LockWait& wait) {
  bool announced = false;
  for (;;) {
    // O_RDONLY opens folders and files alike; a lock needs no write access.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) ThrowSystemError("open", path, errno);
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      // A file system that cannot lock at all (some network and user-space ones) lets the run
      // go on unlocked, as every run there must.
      if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) return;
      if (error != EWOULDBLOCK) {
        ::close(fd_);
        ThrowSystemError("lock", path, error);
      }
      if (!wait.wait) {
        ::close(fd_);
        ThrowFileError("lock", path, "another durvane run is writing it (not waiting for it)");
      }
      if (!announced && wait.on_wait) wait.on_wait(path);
      announced = true;
      int result;
      while ((result = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (result != 0) {
        const int lock_error = errno;
        ::close(fd_);
        ThrowSystemError("lock", path, lock_error);
      }
    }
    if (StillNamed(fd_, path)) return;
    // The run that held the lock replaced the file: lock the new one.
    ::close(fd_);
    fd_ = -1;
  }
}

WriterLock::~WriterLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace durvane
