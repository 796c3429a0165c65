#include "core/interrupt_cleanup.h"

#include <mutex>
#include <set>

namespace durvane {
namespace {

struct Tracked {
  std::mutex mutex;
  std::set<std::filesystem::path> paths;
  std::shared_mutex replacing;
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
  for (const std::filesystem::path& path : t.paths) static_cast<void>(platform::Remove(path));
  platform::ExitNow(exit_status);
}

}  // namespace

platform::File CreateTrackedFile(const std::filesystem::path& path, std::error_code& error) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  platform::File file = platform::CreateNew(path, error);
  if (!error) t.paths.insert(path);
  return file;
}

std::error_code LinkTrackedFile(const platform::File& file, const std::filesystem::path& path) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  const std::error_code error = platform::NameUnnamed(file, path);
  if (!error) t.paths.insert(path);
  return error;
}

void UntrackFile(const std::filesystem::path& path) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  t.paths.erase(path);
}

ReplacePhase::ReplacePhase() : lock_(tracked().replacing) {}

void InstallInterruptCleanup() {
  static std::once_flag once;
  std::call_once(once, [] { platform::OnInterrupt(CleanUpAndExit); });
}

}  // namespace durvane
