// The temporary files of this process, tracked so that SIGINT and SIGTERM can remove them
// before the process ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <system_error>

#include "core/platform.h"

namespace durvane {

// Creates the new file `name` in `folder` for writing and tracks it as one of this process's
// temporary files. Tracking and creating happen under one lock, so an interrupt never misses
// a file being created.
platform::File CreateTrackedFile(const std::shared_ptr<const platform::Folder>& folder,
                                 const std::filesystem::path& name, unsigned mode,
                                 std::error_code& error);

// Gives the unnamed file `file` (made by Folder::CreateUnnamed) the name `name` in `folder`,
// and tracks it as one of this process's temporary files.
std::error_code LinkTrackedFile(const platform::File& file,
                                const std::shared_ptr<const platform::Folder>& folder,
                                const std::filesystem::path& name);

// Stops tracking `name` in `folder`: it was renamed into place or removed.
void UntrackFile(const platform::Folder& folder, const std::filesystem::path& name);

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

// Counts a set of files that has replaced its destinations; called inside its replace phase.
void CountReplacedSet();

// Says that the run's work is done once `sets` sets of files have replaced their
// destinations. An interrupt that comes after that ends the process with status 0, after
// calling `on_complete` (which tells the user): the files are as asked, and a run reported as
// failed would invite running it again, merging a file twice.
void CompleteAfterReplacedSets(std::size_t sets, std::function<void()> on_complete);

// Makes an interrupt (Ctrl-C, and SIGTERM on POSIX: status 130 and 143) end the process after
// removing every tracked temporary file. Call it first thing in main, before any other thread
// starts, so that every thread inherits the blocked signals. Also makes writes past the file
// size limit fail as on a full disk. Calling it again does nothing.
void InstallInterruptCleanup();

}  // namespace durvane
