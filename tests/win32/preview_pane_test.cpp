// The Windows preview pane under its messages: a drag draws reduced pictures stretched over the
// pane and the full one on release, the wheel zooms, a double click returns to the first view,
// and a bitmap missing from a PRJ file's folder is named at the picture's foot.
#include "app/win32/preview_pane.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "core/platform.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "usecases/conversion_run.h"

namespace durvane::win32 {
namespace {

// Handles the thread's messages until `done`; false when it takes more than 20 seconds.
bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

// A pane of 150 by 120 pixels inside a window that is never shown. Wine makes no window
// without a display: the tests are skipped there (run them under xvfb-run).
class PaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!parent_) GTEST_SKIP() << "no window can be made here (Wine without a display?)";
    pane_.emplace(::GetModuleHandleW(nullptr), parent_, 1);
    ::MoveWindow(pane_->handle(), 0, 0, 150, 120, FALSE);
    RECT client{};
    ::GetClientRect(pane_->handle(), &client);
    full_ = {client.right, client.bottom};
  }
  void TearDown() override {
    pane_.reset();
    if (parent_) ::DestroyWindow(parent_);
  }

  // Whether the pane shows a picture of `size`, reduced or not.
  std::function<bool()> Shows(SIZE size, bool reduced) {
    return [this, size, reduced] {
      const SIZE shown = pane_->PictureSize();
      return shown.cx == size.cx && shown.cy == size.cy && pane_->PictureReduced() == reduced;
    };
  }
  void Send(UINT message, WPARAM w, int x, int y) {
    ::SendMessageW(pane_->handle(), message, w, MAKELPARAM(x, y));
  }

  fixture::TempDir dir_;
  HWND parent_ = nullptr;
  std::optional<PreviewPane> pane_;
  SIZE full_{};
};

TEST_F(PaneTest, DragWheelAndDoubleClick) {
  fixture::WriteBytes(dir_ / "sample.opt", fixture::SampleModel().bytes);
  pane_->Show(platform::PathBytes(dir_ / "sample.opt"));
  ASSERT_TRUE(PumpUntil(Shows(full_, false)));
  const SIZE third{full_.cx / 3, full_.cy / 3};

  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 80, 60);
  EXPECT_EQ(pane_->View().Yaw(), -15);
  EXPECT_EQ(pane_->View().Pitch(), 5);
  EXPECT_TRUE(PumpUntil(Shows(third, true)));
  Send(WM_LBUTTONUP, 0, 80, 60);
  EXPECT_TRUE(PumpUntil(Shows(full_, false)));

  // A release right after a move gives up the reduced drawing (or drops it before it starts);
  // the next drag has them still.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 60, 50);
  Send(WM_LBUTTONUP, 0, 60, 50);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 70, 50);
  EXPECT_TRUE(PumpUntil(Shows(third, true)));
  Send(WM_LBUTTONUP, 0, 70, 50);
  EXPECT_TRUE(PumpUntil(Shows(full_, false)));
  EXPECT_EQ(pane_->View().Yaw(), -30);

  ::SendMessageW(pane_->handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), 0);
  EXPECT_EQ(pane_->View().Zoom(), 1.5625);
  ::SendMessageW(pane_->handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(pane_->View().Zoom(), 1.25);

  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 75, 60);
  EXPECT_EQ(pane_->View().Yaw(), 0);
  EXPECT_EQ(pane_->View().Pitch(), 0);
  EXPECT_EQ(pane_->View().Zoom(), 1);
  EXPECT_TRUE(PumpUntil(Shows(full_, false)));

  // An empty pane neither turns nor zooms.
  pane_->Show({});
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 80, 60);
  Send(WM_LBUTTONUP, 0, 80, 60);
  ::SendMessageW(pane_->handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(pane_->View().Yaw(), 0);
  EXPECT_EQ(pane_->View().Zoom(), 1);
  EXPECT_EQ(pane_->PictureSize().cx, 0);
}

TEST_F(PaneTest, NamesTheMissingBitmap) {
  fixture::WriteBytes(dir_ / "sample.opt", fixture::SampleModel().bytes);
  std::filesystem::create_directory(dir_ / "qel");
  RunConversion(dir_ / "qel", dir_.path(), "sample.opt");
  const std::filesystem::path folder = dir_ / "qel" / "sample";
  // The first bitmap by name is one a polygon is painted with.
  std::set<std::string> bitmaps;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".BMP") bitmaps.insert(entry.path().filename().string());
  }
  ASSERT_GT(bitmaps.size(), 1u);
  const std::string bitmap = *bitmaps.begin();
  const std::string prj = platform::PathBytes(folder / "sample.prj");
  pane_->Show(prj);
  ASSERT_TRUE(PumpUntil(Shows(full_, false)));
  EXPECT_EQ(pane_->Note(), "");

  std::filesystem::remove(folder / bitmap);
  pane_->Show(prj);
  ASSERT_TRUE(PumpUntil(Shows(full_, false)));
  EXPECT_EQ(pane_->Note().rfind("bitmap '" + bitmap + "'", 0), 0u) << pane_->Note();
  EXPECT_EQ(pane_->Note().find('\n'), std::string::npos);  // one bitmap, one line
}

}  // namespace
}  // namespace durvane::win32
