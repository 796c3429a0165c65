// Change notifications for the folders the window lists: a thread of the watch's own waits for
// Windows to report a file or folder made, renamed or deleted in any of them, and posts a
// message to the window, which lists them again. Watching a folder replaces what a slot
// watched before; a folder that cannot be watched is listed as it is, and F5 still refreshes it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <mutex>
#include <string>
#include <thread>

namespace durvane::win32 {

class FolderWatch {
 public:
  static constexpr std::size_t kSlots = 2;

  // Posts `message` to `window` when a watched folder changes.
  FolderWatch(HWND window, UINT message);
  // Stops the thread and closes every notification.
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches `folder` (an absolute path) in `slot`; an empty name watches nothing there.
  void Watch(std::size_t slot, const std::wstring& folder);

 private:
  void Work(std::stop_token stop);

  HWND window_;
  UINT message_;
  // Set when the folders change or the watch stops: the thread then opens them again.
  HANDLE wake_;
  std::mutex mutex_;
  std::array<std::wstring, kSlots> folders_;
  std::jthread worker_;
};

}  // namespace durvane::win32
