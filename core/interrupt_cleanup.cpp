#include "core/interrupt_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace durvane {
namespace {

// Interrupts are handled on an ordinary thread that waits for the signals, not in a signal
// handler, so that the clean-up may take locks and use the library like any other code.
struct Tracked {
  std::mutex mutex;
  std::set<std::string> paths;
  std::shared_mutex replacing;
};

Tracked& tracked() {
  static Tracked instance;
  return instance;
}

[[noreturn]] void CleanUpAndExit(int signal_number) {
  Tracked& t = tracked();
  // Never released: the process ends holding both, so no file is created or replaced after
  // the clean-up has looked.
  t.replacing.lock();
  t.mutex.lock();
  for (const std::string& path : t.paths) ::unlink(path.c_str());
  ::_exit(128 + signal_number);
}

}  // namespace

int CreateTrackedFile(const std::filesystem::path& path, int flags, mode_t mode) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  const int fd = ::open(path.c_str(), flags, mode);
  if (fd >= 0) t.paths.insert(path.string());
  return fd;
}

int LinkTrackedFile(int fd, const std::filesystem::path& path) {
  // linkat with AT_EMPTY_PATH needs a privilege; the descriptor's entry under /proc does not.
  const std::string proc_entry = "/proc/self/fd/" + std::to_string(fd);
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  const int result =
      ::linkat(AT_FDCWD, proc_entry.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
  if (result == 0) t.paths.insert(path.string());
  return result;
}

void UntrackFile(const std::filesystem::path& path) {
  Tracked& t = tracked();
  const std::lock_guard lock(t.mutex);
  t.paths.erase(path.string());
}

ReplacePhase::ReplacePhase() : lock_(tracked().replacing) {}

void InstallInterruptCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
      int signal_number = 0;
      while (sigwait(&signals, &signal_number) != 0) {
      }
      CleanUpAndExit(signal_number);
    }).detach();
  });
}

}  // namespace durvane
