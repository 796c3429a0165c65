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
  // Both slots may show one folder: it is watched once.
  std::vector<HANDLE> changes;
  const auto close_all = [&changes] {
    for (HANDLE change : changes) ::FindCloseChangeNotification(change);
    changes.clear();
  };
  while (!stop.stop_requested()) {
    close_all();
    std::array<std::wstring, kSlots> folders;
    {
      std::lock_guard lock(mutex_);
      folders = folders_;
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
      if (folders[i].empty() || (i > 0 && folders[i] == folders[0])) continue;
      const HANDLE change = ::FindFirstChangeNotificationW(
          folders[i].c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
      if (change != INVALID_HANDLE_VALUE) changes.push_back(change);
    }
    // Waits for a change, or for new folders to watch.
    for (;;) {
      std::vector<HANDLE> waited{wake_};
      waited.insert(waited.end(), changes.begin(), changes.end());
      const DWORD which = ::WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(),
                                                   FALSE, INFINITE);
      if (which == WAIT_FAILED) return close_all();
      if (which == WAIT_OBJECT_0) break;  // new folders, or the watch stops
      const std::size_t index = which - WAIT_OBJECT_0;
      if (index >= waited.size()) return close_all();
      ::PostMessageW(window_, message_, 0, 0);
      // A folder that went away reports no more: its handle is dropped until it is watched again.
      if (!::FindNextChangeNotification(waited[index])) {
        ::FindCloseChangeNotification(waited[index]);
        changes.erase(changes.begin() + static_cast<std::ptrdiff_t>(index - 1));
      }
    }
  }
  close_all();
}

}  // namespace durvane::win32
