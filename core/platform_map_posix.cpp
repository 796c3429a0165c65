// Mapped files on POSIX: mmap, and a SIGBUS handler for files cut short while mapped.
//
// How a cut is survived. Reading a page of a shared file mapping that lies wholly past the
// file's end raises SIGBUS in the reading thread, at the faulting address (si_addr, si_code
// BUS_ADRERR). The handler looks that address up in the table of live mappings. Inside one, it
// maps anonymous zero-filled pages with MAP_FIXED over the rest of that mapping, from the
// faulting page to its end, marks the mapping cut and returns: the read runs again and reads
// zeros, and so does every later read past the cut. The owner of the mapping sees cut_short()
// before it keeps anything, and fails the file. Nothing jumps out of the handler, so no C++
// frame is skipped and no lock is left held. The handler calls only mmap, sigaction and raise:
// POSIX lists the last two as async-signal-safe, and on Linux mmap is a bare system call (the C
// library's wrapper keeps no state and takes no lock); the table is lock-free atomics.
//
// A fault outside every mapping, or one the zero pages cannot be put in for, goes to the
// handler that was there before (the sanitizers' and libFuzzer's have their own): a handler
// function is called, while the default action (or "ignore", which the system does not honour
// for a fault) is restored and the signal raised again, so the process ends with SIGBUS as it
// did before any file was mapped.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <mutex>

#include "core/platform_map.h"

namespace durvane::platform {
namespace {

struct sigaction previous_bus_action;
std::uintptr_t page_size = 4096;

void GiveToPrevious(int signal, siginfo_t* info, void* context) {
  const struct sigaction& before = previous_bus_action;
  if ((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction != nullptr) {
    before.sa_sigaction(signal, info, context);
    return;
  }
  if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
    before.sa_handler(signal);
    return;
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
  // Pending until the handler returns (SIGBUS is blocked in it), then fatal.
  raise(SIGBUS);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
  // si_code > 0: raised by the system for a fault, so si_addr is the faulting address.
  const int slot =
      info != nullptr && info->si_code > 0
          ? mapping_table::Find(reinterpret_cast<std::uintptr_t>(info->si_addr), begin, end)
          : -1;
  if (slot >= 0) {
    const std::uintptr_t page = reinterpret_cast<std::uintptr_t>(info->si_addr) & ~(page_size - 1);
    void* zeros = mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      mapping_table::MarkCut(slot);
      errno = saved_errno;
      return;
    }
  }
  GiveToPrevious(signal, info, context);
  errno = saved_errno;
}

void InstallHandler() {
  const long size = sysconf(_SC_PAGESIZE);
  if (size > 0) page_size = static_cast<std::uintptr_t>(size);
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &previous_bus_action);
}

}  // namespace

MappedFile Map(const File& file, std::uint64_t size, std::error_code& error) {
  error.clear();
  MappedFile mapped;
  if (size == 0 || size > std::numeric_limits<std::size_t>::max() - page_size) {
    error = std::make_error_code(std::errc::invalid_argument);
    return mapped;
  }
  static std::once_flag installed;
  std::call_once(installed, InstallHandler);
  const auto bytes = static_cast<std::size_t>(size);
  void* p = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, static_cast<int>(file.native()), 0);
  if (p == MAP_FAILED) {
    error = {errno, std::generic_category()};
    return mapped;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t end = begin + ((bytes + page_size - 1) & ~(page_size - 1));
  const int slot = mapping_table::Add(begin, end);
  if (slot < 0) {
    munmap(p, bytes);
    error = std::make_error_code(std::errc::too_many_files_open);
    return mapped;
  }
  // The whole file is read, mostly in order: start reading it ahead now.
  madvise(p, bytes, MADV_WILLNEED);
  mapped.data_ = static_cast<const std::byte*>(p);
  mapped.size_ = bytes;
  mapped.slot_ = slot;
  return mapped;
}

void MappedFile::Unmap() noexcept {
  if (slot_ < 0) return;
  mapping_table::Remove(slot_);
  munmap(const_cast<std::byte*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
  slot_ = -1;
}

}  // namespace durvane::platform
