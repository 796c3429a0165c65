// The folder watch of the Windows window: a change in a watched folder reaches the window as a
// message; a folder no longer watched, or never watched, sends none.
#include "app/win32/folder_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/win32/test_folder.h"

namespace durvane::win32 {
namespace {

// A message no other window of the program sends.
const UINT kChanged = ::RegisterWindowMessageW(L"durvane-folder-watch-test");
namespace fs = std::filesystem;

// How long a burst of reports must be quiet before it counts as over. One change on disk may
// be reported more than once; the window settles such bursts with a timer, and the test waits
// them out the same way.
constexpr std::chrono::milliseconds kSettled(300);

// Whether `window` receives `kChanged` within `wait`. Once one arrives, takes every further one
// until none has come for `kSettled`, so that the next step starts quiet.
bool ChangeArrives(HWND window, std::chrono::milliseconds wait) {
  auto until = std::chrono::steady_clock::now() + wait;
  bool arrived = false;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, window, kChanged, kChanged, PM_REMOVE)) {
      arrived = true;
      until = std::chrono::steady_clock::now() + kSettled;
    }
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::milliseconds(0)) return arrived;
    ::MsgWaitForMultipleObjects(
        0, nullptr, FALSE,
        static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()),
        QS_POSTMESSAGE);
  }
}

class FolderWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = NewTestFolder("watch-");
    fs::create_directories(root_ / "a");
    fs::create_directories(root_ / "b");
    window_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) ::DestroyWindow(window_);
  }
  fs::path root_;
  HWND window_ = nullptr;
};

TEST_F(FolderWatchTest, ChangesInWatchedFoldersAloneReachTheWindow) {
  struct Step {
    const char* what;
    const char* watch_a;  // slot 0; nullptr leaves it as it was
    const char* watch_b;  // slot 1
    bool opens;           // a folder newly watched is reported changed once, at once
    const char* made;     // a file (or, ending in '/', a folder) made in root_
    bool arrives;
  };
  const Step steps[] = {
      {"a file made in a watched folder", "a", nullptr, true, "a/ship.opt", true},
      {"a folder made in a watched folder", nullptr, nullptr, false, "a/qel/", true},
      {"a file made in a folder not watched", nullptr, nullptr, false, "b/one.prj", false},
      {"the second slot watches a second folder", nullptr, "b", true, "b/two.prj", true},
      {"a folder no longer watched", "", nullptr, false, "a/other.opt", false},
      {"both slots on one folder", "b", nullptr, true, "b/three.prj", true},
      {"the first slot's folder again", "a", nullptr, true, "a/again.opt", true},
  };
  FolderWatch watch(window_, kChanged);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.watch_a) watch.Watch(0, *step.watch_a ? (root_ / step.watch_a).wstring() : L"");
    if (step.watch_b) watch.Watch(1, (root_ / step.watch_b).wstring());
    EXPECT_EQ(ChangeArrives(window_, std::chrono::milliseconds(step.opens ? 5000 : 300)),
              step.opens);
    const std::string made = step.made;
    if (made.back() == '/') {
      fs::create_directory(root_ / made);
    } else {
      // Written beside the watched folders and moved in, so that the file appears whole, in
      // one change.
      std::ofstream(root_ / "made") << "x";
      fs::rename(root_ / "made", root_ / made);
    }
    EXPECT_EQ(ChangeArrives(window_, std::chrono::milliseconds(step.arrives ? 5000 : 500)),
              step.arrives);
  }
}

// The lists then show the nearest parent, which the watch takes over.
TEST_F(FolderWatchTest, AWatchedFolderDeletedGivesWayToItsParent) {
  FolderWatch watch(window_, kChanged);
  watch.Watch(0, (root_ / "a").wstring());
  EXPECT_TRUE(ChangeArrives(window_, std::chrono::milliseconds(5000)));
  fs::remove(root_ / "a");
  ChangeArrives(window_, std::chrono::milliseconds(500));
  watch.Watch(0, root_.wstring());
  EXPECT_TRUE(ChangeArrives(window_, std::chrono::milliseconds(5000)));
  std::ofstream(root_ / "ship.opt") << "x";
  EXPECT_TRUE(ChangeArrives(window_, std::chrono::milliseconds(5000)));
}

}  // namespace
}  // namespace durvane::win32
