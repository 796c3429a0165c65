// The temporary files of this process, tracked so that SIGINT and SIGTERM can remove them
// before the process ends.
#pragma once

#include <filesystem>
#include <shared_mutex>
#include <system_error>

#include "core/platform.h"

namespace durvane {

// Creates a new file for writing and tracks it as one of this process's temporary files.
// Tracking and creating happen under one lock, so an interrupt never misses a file being
// created.
platform::File CreateTrackedFile(const std::filesystem::path& path, std::error_code& error);

// Gives the unnamed file `file` (made by platform::CreateUnnamed) the name `path`, and tracks
// it as one of this process's temporary files.
std::error_code LinkTrackedFile(const platform::File& file, const std::filesystem::path& path);

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

// Makes an interrupt (Ctrl-C, and SIGTERM on POSIX: status 130 and 143) end the process after
// removing every tracked temporary file. Call it first thing in main, before any other thread
// starts, so that every thread inherits the blocked signals. Calling it again does nothing.
void InstallInterruptCleanup();

}  // namespace durvane
