// The drives Windows offers. POSIX systems have one root and no drive list.
#include "core/platform_drives.h"

#include <gtest/gtest.h>

#ifdef _WIN32

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/platform.h"

namespace durvane::platform {
namespace {

TEST(PlatformDrives, ListsTheDriveOfTheTemporaryFolderOnceAndInLetterOrder) {
  const std::string temp_root =
      PathBytes(std::filesystem::temp_directory_path().root_name()) + "\\";
  const std::vector<Drive> drives = Drives();
  ASSERT_FALSE(drives.empty());
  const auto matches = [&](const Drive& drive) {
    return drive.root.size() == temp_root.size() &&
           std::equal(
               drive.root.begin(), drive.root.end(), temp_root.begin(),
               [](unsigned char a, unsigned char b) { return std::toupper(a) == std::toupper(b); });
  };
  EXPECT_EQ(std::count_if(drives.begin(), drives.end(), matches), 1) << temp_root;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    SCOPED_TRACE(drives[i].root);
    ASSERT_EQ(drives[i].root.size(), 3u);
    EXPECT_EQ(drives[i].root.substr(1), ":\\");
    if (i > 0) {
      EXPECT_LT(drives[i - 1].root, drives[i].root);
    }
  }
}

}  // namespace
}  // namespace durvane::platform

#endif
