// The Windows window as a whole, under a test's own message loop: files handed to it by "Open
// with" or dropped from Explorer land in the mode and list they belong to, the lists follow
// files made by other programs, and nothing dropped during a run is taken.
#include "app/win32/durvane_window.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/platform.h"
#include "tests/win32/test_folder.h"

namespace durvane::win32 {
namespace {

namespace fs = std::filesystem;
using NameList = std::vector<std::wstring>;

std::string Bytes(const fs::path& path) {
  return platform::PathBytes(path);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = NewTestFolder("window-");
    for (const char* folder : {"models", "qel"}) fs::create_directories(root_ / folder);
    // Not models: the preview says it cannot draw them, and nothing else reads them.
    for (const char* file : {"models/a.opt", "models/b.opt", "models/first.prj",
                             "models/second.prj", "models/notes.txt", "qel/base.prj"}) {
      std::ofstream(root_ / file) << "x";
    }
    fs::current_path(root_ / "models");
    window::Operations operations;
    // A conversion that waits for the test, then reports each file converted.
    operations.convert_files = [this](const std::vector<fs::path>& files, const BatchOptions&,
                                      BatchObserver& observer) {
      converting_ = true;
      while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      for (std::size_t i = 0; i < files.size(); ++i) {
        observer.FileStarted(i, files[i]);
        observer.FileFinished(i, {});
      }
      converted_ = files.size();
      return true;
    };
    try {
      window_.emplace(::GetModuleHandleW(nullptr), std::move(operations), SW_HIDE);
    } catch (const std::runtime_error&) {
      GTEST_SKIP() << "no window can be made here (Wine without a display?)";
    }
    handle_ = ::FindWindowW(L"DurvaneWindow", nullptr);
    ASSERT_NE(handle_, nullptr);
    Pump(std::chrono::milliseconds(100));
  }
  void TearDown() override {
    release_ = true;
    window_.reset();
    fs::current_path(fs::temp_directory_path());
  }

  // Runs the window's messages for `time`, or until `done` says so.
  template <typename Done>
  bool Pump(std::chrono::milliseconds time, Done done) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (window_->PreTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      if (done()) return true;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
  }
  void Pump(std::chrono::milliseconds time) {
    Pump(time, [] { return false; });
  }

  HWND Item(Control control) const {
    return ::GetDlgItem(handle_, 100 + static_cast<int>(control));
  }
  bool Merging() const {
    return ::SendMessageW(Item(Control::kOpMerge), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  // The names a file list holds, and those of them selected.
  std::vector<std::wstring> Names(Control list, bool selected_only = false) const {
    std::vector<std::wstring> names;
    const auto count = ::SendMessageW(Item(list), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      if (selected_only && ::SendMessageW(Item(list), LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0) {
        continue;
      }
      std::wstring name(static_cast<std::size_t>(
                            ::SendMessageW(Item(list), LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)),
                        L'\0');
      ::SendMessageW(Item(list), LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(name.data()));
      names.push_back(name);
    }
    return names;
  }
  std::vector<std::wstring> Selected(Control list) const { return Names(list, true); }

  // Drops `files` (in root_) on the window at the height of the control `over`, as Explorer
  // does.
  void Drop(const std::vector<std::string>& files, Control over) {
    std::wstring list;
    for (const std::string& file : files) list += (root_ / file).wstring() + L'\0';
    list += L'\0';
    const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    ASSERT_NE(memory, nullptr);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    RECT place{};
    ::GetWindowRect(Item(over), &place);
    ::MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&place), 2);
    drop->pt = {place.left + 2, place.top + 2};
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
                list.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    ::SendMessageW(handle_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    Pump(std::chrono::milliseconds(50));
  }

  fs::path root_;
  std::optional<DurvaneWindow> window_;
  HWND handle_ = nullptr;
  std::atomic<bool> converting_ = false;
  std::atomic<bool> release_ = false;
  std::atomic<std::size_t> converted_ = 0;
};

TEST_F(Win32WindowTest, FilesOpenedOrDroppedLandInTheirModeAndList) {
  struct Case {
    const char* what;
    std::vector<std::string> files;  // dropped; one file is opened when `over` is kPreview
    Control over;
    bool merging;
    Control list;
    NameList selected;
  };
  const Case cases[] = {
      {"an OPT file opened",
       {"models/b.opt"},
       Control::kPreview,
       false,
       Control::kOptFile,
       {L"b.opt"}},
      {"a PRJ file opened",
       {"qel/base.prj"},
       Control::kPreview,
       true,
       Control::kPrjFile1,
       {L"base.prj"}},
      {"OPT files dropped",
       {"models/a.opt", "models/b.opt"},
       Control::kOptFile,
       false,
       Control::kOptFile,
       {L"a.opt", L"b.opt"}},
      {"a PRJ file dropped on the top group",
       {"models/second.prj"},
       Control::kPrjDrive,
       true,
       Control::kPrjFile1,
       {L"second.prj"}},
      {"PRJ files dropped on the bottom group",
       {"models/first.prj", "models/second.prj"},
       Control::kOptDirectory,
       true,
       Control::kOptFile,
       {L"first.prj", L"second.prj"}},
      {"a drop that also holds another file is not taken",
       {"models/a.opt", "models/notes.txt"},
       Control::kOptFile,
       true,
       Control::kOptFile,
       {L"first.prj", L"second.prj"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.over == Control::kPreview) {
      window_->Open(Bytes(root_ / c.files.front()));
      Pump(std::chrono::milliseconds(50));
    } else {
      Drop(c.files, c.over);
    }
    EXPECT_EQ(Merging(), c.merging);
    EXPECT_EQ(Selected(c.list), c.selected);
  }
}

TEST_F(Win32WindowTest, ListsFollowFilesOtherProgramsMakeAndDelete) {
  EXPECT_EQ(Names(Control::kOptFile), (NameList{L"a.opt", L"b.opt"}));
  std::ofstream(root_ / "models" / "c.opt") << "x";
  fs::remove(root_ / "models" / "a.opt");
  EXPECT_TRUE(Pump(std::chrono::milliseconds(5000), [this] {
    return Names(Control::kOptFile) == NameList{L"b.opt", L"c.opt"};
  }));
}

TEST_F(Win32WindowTest, NothingDroppedDuringARunIsTaken) {
  window_->Open(Bytes(root_ / "models" / "a.opt"));
  ::SendMessageW(Item(Control::kPrjWriter), BM_CLICK, 0, 0);
  ASSERT_TRUE(Pump(std::chrono::milliseconds(5000), [this] { return converting_.load(); }));
  Drop({"models/first.prj"}, Control::kPrjDrive);
  EXPECT_FALSE(Merging());
  release_ = true;
  ASSERT_TRUE(Pump(std::chrono::milliseconds(5000), [this] { return converted_ == 1; }));
  Pump(std::chrono::milliseconds(100));
  EXPECT_FALSE(Merging());
  EXPECT_EQ(Selected(Control::kOptFile), NameList{L"a.opt"});
}

}  // namespace
}  // namespace durvane::win32
