// Mapped files on Windows: CreateFileMapping and MapViewOfFile, and a vectored exception
// handler for views whose file can no longer be read.
//
// How a failed read is survived. Windows refuses to shorten a file while a view of it is
// mapped, but a read of a view can still fail: the file is on a network share or a removable
// disk that goes away, or another system (Wine's host) shortens it. The read then raises
// EXCEPTION_IN_PAGE_ERROR in the reading thread, with the faulting address in
// ExceptionInformation[1]. The vectored handler looks that address up in the table of live
// mappings. Inside one, it unmaps the whole view and commits zero-filled memory at the same
// address (a view cannot be replaced page by page), marks the mapping cut and continues: the
// read runs again and reads zeros, and the owner sees cut_short() before it keeps anything. A
// second thread faulting in the same view meanwhile waits for the first to finish. Between the
// unmap and the commit another thread could take that address range; the commit then fails,
// and the fault goes on to the next handler and ends the process as any fault did before, as
// does every fault outside the mappings.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <limits>
#include <mutex>
#include <thread>

#include "core/platform_map.h"

namespace durvane::platform {
namespace {

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
  const int slot = mapping_table::Find(record->ExceptionInformation[1], begin, end);
  if (slot < 0) return EXCEPTION_CONTINUE_SEARCH;
  if (!mapping_table::ClaimForReplacing(slot)) {
    // Another thread is replacing this view; once it has, the read can run again.
    while (!mapping_table::IsCut(slot)) std::this_thread::yield();
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  void* base = reinterpret_cast<void*>(begin);
  if (!::UnmapViewOfFile(base)) return EXCEPTION_CONTINUE_SEARCH;
  if (::VirtualAlloc(base, end - begin, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) != base) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  mapping_table::MarkCut(slot);
  return EXCEPTION_CONTINUE_EXECUTION;
}

std::uintptr_t Granularity() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwPageSize;
}

}  // namespace

MappedFile Map(const File& file, std::uint64_t size, std::error_code& error) {
  error.clear();
  MappedFile mapped;
  static const std::uintptr_t page_size = Granularity();
  if (size == 0 || size > std::numeric_limits<std::size_t>::max() - page_size) {
    error = std::make_error_code(std::errc::invalid_argument);
    return mapped;
  }
  static std::once_flag installed;
  std::call_once(installed, [] { ::AddVectoredExceptionHandler(1, OnException); });
  const auto bytes = static_cast<std::size_t>(size);
  HANDLE mapping = ::CreateFileMappingW(reinterpret_cast<HANDLE>(file.native()), nullptr,
                                        PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) {
    error = {static_cast<int>(::GetLastError()), std::system_category()};
    return mapped;
  }
  // The view keeps the mapping object alive once its handle is closed.
  void* p = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytes);
  const DWORD map_error = ::GetLastError();
  ::CloseHandle(mapping);
  if (p == nullptr) {
    error = {static_cast<int>(map_error), std::system_category()};
    return mapped;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t end = begin + ((bytes + page_size - 1) & ~(page_size - 1));
  const int slot = mapping_table::Add(begin, end);
  if (slot < 0) {
    ::UnmapViewOfFile(p);
    error = std::make_error_code(std::errc::too_many_files_open);
    return mapped;
  }
  mapped.data_ = static_cast<const std::byte*>(p);
  mapped.size_ = bytes;
  mapped.slot_ = slot;
  return mapped;
}

void RaiseInPageError(const std::byte* address) {
  // Read access, the address, and the status of a device that went away.
  constexpr ULONG_PTR kDeviceNotConnected = 0xC000009D;
  const ULONG_PTR information[3] = {0, reinterpret_cast<ULONG_PTR>(address), kDeviceNotConnected};
  ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, information);
}

void MappedFile::Unmap() noexcept {
  if (slot_ < 0) return;
  const bool replaced = mapping_table::IsCut(slot_);
  mapping_table::Remove(slot_);
  void* base = const_cast<std::byte*>(data_);
  if (replaced) {
    ::VirtualFree(base, 0, MEM_RELEASE);
  } else {
    ::UnmapViewOfFile(base);
  }
  data_ = nullptr;
  size_ = 0;
  slot_ = -1;
}

}  // namespace durvane::platform
