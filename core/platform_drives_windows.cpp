#include "core/platform_drives.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>

#include "core/platform.h"

namespace durvane::platform {

std::vector<Drive> Drives() {
  std::wstring roots(::GetLogicalDriveStringsW(0, nullptr), L'\0');
  roots.resize(::GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data()));
  // No "insert a disk" dialog for a drive without a medium.
  DWORD old_mode = 0;
  ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &old_mode);
  std::vector<Drive> drives;
  // The roots are "C:\", "D:\", ... one after another, each ended by a null character.
  for (std::size_t at = 0; at < roots.size() && roots[at] != L'\0';) {
    const std::wstring root(roots.c_str() + at);
    at += root.size() + 1;
    Drive drive{PathBytes(std::filesystem::path(root)), {}};
    // Network drives are left unlabelled: asking may wait on the network.
    const UINT type = ::GetDriveTypeW(root.c_str());
    wchar_t label[MAX_PATH + 1] = {};
    if (type != DRIVE_REMOTE && type != DRIVE_NO_ROOT_DIR &&
        ::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                nullptr, 0)) {
      const std::wstring wide(label);
      const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
      drive.label.resize(static_cast<std::size_t>(size));
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                            drive.label.data(), size, nullptr, nullptr);
    }
    drives.push_back(std::move(drive));
  }
  ::SetThreadErrorMode(old_mode, nullptr);
  return drives;
}

}  // namespace durvane::platform
