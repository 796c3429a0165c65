// Whole files mapped into memory for reading, through the platform layer (platform_map_posix.cpp
// with mmap, platform_map_windows.cpp with CreateFileMapping and MapViewOfFile).
//
// A mapped file can be cut short by another program while it is read. A read of the part no
// longer in the file then faults (SIGBUS on POSIX, EXCEPTION_IN_PAGE_ERROR on Windows), which
// would end the process. Instead, a handler installed with the first mapping looks the faulting
// address up among the live mappings: inside one, it puts zero-filled memory in place of the
// rest of that mapping, marks the mapping cut short and lets the read run again, now reading
// zeros; outside every mapping, it gives the fault back to whatever handled it before (by
// default, the system ends the process as it always did). Readers never jump out of a fault:
// every read of the input is bounds-checked against the mapped size, so zeros are just bytes,
// and the owner asks cut_short() before it keeps anything made from them. How each system does
// this is told beside its code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <system_error>

#include "core/platform.h"

namespace durvane::platform {

// A read-only view of a file's first bytes, unmapped when destroyed.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() { Unmap(); }

  bool is_mapped() const { return slot_ >= 0; }
  std::span<const std::byte> bytes() const { return {data_, size_}; }
  // Whether a read met a part of the file that was no longer there: the file was cut short
  // after it was mapped, and that read and every later one past the cut saw zeros.
  bool cut_short() const;

 private:
  friend MappedFile Map(const File& file, std::uint64_t size, std::error_code& error);
  void Unmap() noexcept;

  const std::byte* data_ = nullptr;
  std::size_t size_ = 0;
  int slot_ = -1;  // in the table of live mappings the fault handler searches
};

// Maps the first `size` bytes (more than 0) of the open regular file `file` for reading. On
// failure sets `error` and returns an unmapped MappedFile: the caller reads the file instead.
// Also fails, with std::errc::too_many_files_open, while kMappingSlots mappings are live.
MappedFile Map(const File& file, std::uint64_t size, std::error_code& error);

#ifdef _WIN32
// Test seam: raises EXCEPTION_IN_PAGE_ERROR at `address` as the system does when a read of a
// view fails. Windows refuses to shorten a mapped file, so a test cannot cut one short there.
void RaiseInPageError(const std::byte* address);
#endif

// The table of live mappings, shared by both systems' fault handlers (platform_map.cpp). Its
// slots are lock-free atomics, so a signal handler may read it.
namespace mapping_table {

inline constexpr int kMappingSlots = 64;

// Takes a free slot for the mapping at [begin, end) (end rounded up to whole pages); -1 when
// every slot is taken.
int Add(std::uintptr_t begin, std::uintptr_t end);
// Frees a slot; the mapping must still be live, so that no fault can be looking for it.
void Remove(int slot);
// The slot whose mapping holds `address`, or -1, with the mapping's bounds. Async-signal-safe.
int Find(std::uintptr_t address, std::uintptr_t& begin, std::uintptr_t& end);
// What the fault handler does to a slot once it has put zeros in place of its mapping.
// Async-signal-safe.
void MarkCut(int slot);
bool IsCut(int slot);
// Windows replaces a whole view at a time: one faulting thread claims the slot, the others
// wait until it is marked cut. Returns true for the thread that claimed it.
bool ClaimForReplacing(int slot);

}  // namespace mapping_table

}  // namespace durvane::platform
