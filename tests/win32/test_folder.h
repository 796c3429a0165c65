// Folders for the Windows window's tests, each new, all deleted when the test program ends.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace durvane::win32 {

// A new empty folder named `prefix` and the current test's name.
inline std::filesystem::path NewTestFolder(const std::string& prefix) {
  struct Removal {
    std::filesystem::path root = std::filesystem::temp_directory_path() /
                                 ("durvane-win32-tests-" + std::to_string(::GetCurrentProcessId()));
    ~Removal() {
      std::error_code error;
      std::filesystem::remove_all(root, error);
    }
  };
  static const Removal removal;
  const std::filesystem::path folder =
      removal.root / (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace durvane::win32
