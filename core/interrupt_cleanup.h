// The temporary files of this process, tracked so that SIGINT and SIGTERM can remove them
// before the process ends.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <shared_mutex>

namespace durvane {

// Creates a file with open(path, flags, mode) and tracks it as one of this process's
// temporary files. Returns the descriptor, or -1 with errno set. Tracking and creating happen
// under one lock, so an interrupt never misses a file being created.
int CreateTrackedFile(const std::filesystem::path& path, int flags, mode_t mode);

// Gives the unnamed file open as `fd` (made with O_TMPFILE) the name `path`, and tracks it
// as one of this process's temporary files. Returns 0, or -1 with errno set.
int LinkTrackedFile(int fd, const std::filesystem::path& path);

// Stops tracking `path`: it was renamed into place or removed.
void UntrackFile(const std::filesystem::path& path);

// Held while a set of files replaces its destinations (from the first rename until the set is
// whole again, old or new). An interrupt waits for every replace phase to end and lets no new
// one start, so that it never leaves a destination half replaced.
class ReplacePhase {
 public:
  ReplacePhase();
  ReplacePhase(const ReplacePhase&) = delete;
  ReplacePhase& operator=(const ReplacePhase&) = delete;

 private:
  std::shared_lock<std::shared_mutex> lock_;
};

// Makes SIGINT and SIGTERM end the process with status 130 and 143 after removing every
// tracked temporary file. Blocks both signals in the calling thread and starts a thread that
// waits for them; call it first thing in main, before any other thread starts, so that every
// thread inherits the blocked signals. Calling it again does nothing.
void InstallInterruptCleanup();

}  // namespace durvane
