#include "core/interrupt_cleanup.h"

#include <map>
#include <mutex>
#include <utility>

namespace durvane {
namespace {

struct Tracked {
  std::mutex mutex;
  // Each file by its folder and its name there; the folders are kept open until the files
  // are no longer tracked.
  std::map<std::pair<const platform::Folder*, std::filesystem::path>,
           std::shared_ptr<const platform::Folder>>
      files;
  std::shared_mutex replacing;
  std::size_t replaced_sets = 0;
  std::size_t sets_to_complete = 0;
  std::function<void()> on_complete;
};

Tracked& tracked() {
  static Tracked instance;
  return instance;
}

// Runs on an ordinary thread, not in a signal handler, so it may take locks like any other code.
[[noreturn]] void CleanUpAndExit(int exit_status) {
  Tracked& t = tracked();
  // Never released: the process ends holding both, so no file is created or replaced after
  // the clean-up has looked.
  t.replacing.lock();
  t.mutex.lock();
  for (const auto& [key, folder] : t.files) static_cast<void>(folder->Remove(key.second));
  if (t.sets_to_complete > 0 && t.replaced_sets >= t.sets_to_complete) {
    if (t.on_complete) t.on_complete();
    platform::ExitNow(0);
  }
  platform::ExitNow(exit_status);
}

}  // namespace

platform::File CreateTrackedFile(const std::shared_ptr<const platform::Folder>& folder,
                                 const std::filesystem::path& name, unsigned mode,
                                 std::error_code& error) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  platform::File file = folder->CreateNew(name, mode, error);
  if (!error) t.files[{folder.get(), name}] = folder;
  return file;
}

std::error_code LinkTrackedFile(const platform::File& file,
                                const std::shared_ptr<const platform::Folder>& folder,
                                const std::filesystem::path& name) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  const std::error_code error = folder->NameUnnamed(file, name);
  if (!error) t.files[{folder.get(), name}] = folder;
  return error;
}

void UntrackFile(const platform::Folder& folder, const std::filesystem::path& name) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  t.files.erase({&folder, name});
}

ReplacePhase::ReplacePhase() : lock_(tracked().replacing) {}

void CountReplacedSet() {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  ++t.replaced_sets;
}

void CompleteAfterReplacedSets(std::size_t sets, std::function<void()> on_complete) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  t.sets_to_complete = sets;
  t.replaced_sets = 0;
  t.on_complete = std::move(on_complete);
}

void InstallInterruptCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::IgnoreFileSizeSignal();
    platform::OnInterrupt(CleanUpAndExit);
  });
}

}  // namespace durvane
