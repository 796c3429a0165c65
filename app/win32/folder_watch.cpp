#include "app/win32/folder_watch.h"

#include <stdexcept>
#include <vector>

namespace durvane::win32 {

FolderWatch::FolderWatch(HWND window, UINT message)
    : window_(window), message_(message), wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!wake_) throw std::runtime_error("Windows could not make an event for the folder lists.");
  worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
}

FolderWatch::~FolderWatch() {
  worker_.request_stop();
  ::SetEvent(wake_);
  worker_.join();
  ::CloseHandle(wake_);
}

void FolderWatch::Watch(std::size_t slot, const std::wstring& folder) {
  {
    std::lock_guard lock(mutex_);
    if (folders_.at(slot) == folder) return;
    folders_[slot] = folder;
  }
  ::SetEvent(wake_);
}

void FolderWatch::Work(std::stop_token stop) {
  // Each slot's folder and its notification; a slot showing the folder of the one before it
  // has none, so that one change is reported once.
  std::array<std::wstring, kSlots> watched;
  std::array<HANDLE, kSlots> changes;
  changes.fill(INVALID_HANDLE_VALUE);
  const auto close = [&changes](std::size_t slot) {
    if (changes[slot] != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(changes[slot]);
    changes[slot] = INVALID_HANDLE_VALUE;
  };
  while (!stop.stop_requested()) {
    std::array<std::wstring, kSlots> folders;
    {
      std::lock_guard lock(mutex_);
      folders = folders_;
    }
    // Only the slots whose folder changed are opened again: a folder still shown keeps its
    // notification, and no change in it goes unreported meanwhile.
    bool opened = false;
    for (std::size_t i = 0; i < kSlots; ++i) {
      const bool shared = i > 0 && folders[i] == folders[0];
      const std::wstring wanted = shared ? std::wstring() : folders[i];
      if (wanted == watched[i] && (wanted.empty() || changes[i] != INVALID_HANDLE_VALUE)) continue;
      close(i);
      watched[i] = wanted;
      if (wanted.empty()) continue;
      changes[i] = ::FindFirstChangeNotificationW(
          wanted.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
      opened = true;
    }
    // The window listed a new folder before its notification was open: a change in between
    // would go unseen, so the folder is reported changed once.
    if (opened) ::PostMessageW(window_, message_, 0, 0);
    // Waits for a change, or for new folders to watch.
    for (;;) {
      std::vector<HANDLE> waited{wake_};
      std::vector<std::size_t> slots;
      for (std::size_t i = 0; i < kSlots; ++i) {
        if (changes[i] == INVALID_HANDLE_VALUE) continue;
        waited.push_back(changes[i]);
        slots.push_back(i);
      }
      const DWORD which = ::WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(),
                                                   FALSE, INFINITE);
      if (which == WAIT_OBJECT_0) break;  // new folders, or the watch stops
      const std::size_t index = which - WAIT_OBJECT_0;
      if (which == WAIT_FAILED || index >= waited.size()) {
        for (std::size_t i = 0; i < kSlots; ++i) close(i);
        return;
      }
      ::PostMessageW(window_, message_, 0, 0);
      // A folder that went away reports no more: its notification is dropped, and opened
      // again only when the folder is watched anew.
      if (!::FindNextChangeNotification(waited[index])) close(slots[index - 1]);
    }
  }
  for (std::size_t i = 0; i < kSlots; ++i) close(i);
}

}  // namespace durvane::win32
