// The Windows window's layout: the design's twips scaled by the monitor's DPI, and the room a
// larger window gains going to the lists and the preview pane.
#include "app/win32/window_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace durvane::win32 {
namespace {

PixelRect At(const std::array<PixelRect, kControlCount>& places, Control control) {
  return places[static_cast<std::size_t>(control)];
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

TEST(Win32WindowLayout, ControlsTakeTheirDesignPlaceScaledByTheDpiAndGrowWithTheWindow) {
  struct Case {
    const char* name;
    int dpi;
    int extra_width;
    int extra_height;
    Control control;
    PixelRect expected;
  };
  for (const Case& c : {
           Case{"button at 100%", 96, 0, 0, Control::kPrjWriter, {160, 320, 129, 49}},
           Case{"button at 125%", 120, 0, 0, Control::kPrjWriter, {200, 400, 161, 61}},
           Case{"button at 150%, halves round up",
                144,
                0,
                0,
                Control::kPrjWriter,
                {240, 480, 194, 74}},
           Case{"button moves by half the lists' share",
                96,
                90,
                40,
                Control::kPrjWriter,
                {175, 360, 129, 49}},
           Case{"bottom file list moves and grows",
                96,
                90,
                40,
                Control::kOptFile,
                {207, 196, 160, 130}},
           Case{"top folder list grows by half the height",
                96,
                90,
                40,
                Control::kPrjDirectory,
                {24, 64, 176, 101}},
           Case{"preview takes two thirds of the width",
                96,
                90,
                40,
                Control::kPreview,
                {495, 8, 420, 412}},
       }) {
    SCOPED_TRACE(c.name);
    const ClientSize smallest = MinimumClientSize(c.dpi);
    const auto places =
        LayOut(c.dpi, {smallest.width + c.extra_width, smallest.height + c.extra_height});
    EXPECT_EQ(At(places, c.control), c.expected);
  }
}

TEST(Win32WindowLayout, TheSmallestClientAreaHoldsTheDesignAndThePreview) {
  EXPECT_EQ(MinimumClientSize(96).width, 833);
  EXPECT_EQ(MinimumClientSize(96).height, 388);
  EXPECT_EQ(MinimumClientSize(144).width, 1250);
  EXPECT_EQ(MinimumClientSize(144).height, 582);
  // Smaller than that, the window is laid out as at its smallest.
  EXPECT_EQ(LayOut(96, {100, 100}), LayOut(96, MinimumClientSize(96)));
}

TEST(Win32WindowLayout, NoControlLeavesTheWindowOrCoversAnotherItMustNot) {
  struct Pair {
    Control a;
    Control b;
  };
  const Pair apart[] = {
      {Control::kPreview, Control::kPrjFile1},      {Control::kPreview, Control::kOptFile},
      {Control::kPreview, Control::kOpCreate},      {Control::kPrjFile1, Control::kOptFile},
      {Control::kPrjDirectory, Control::kOptDrive}, {Control::kStatus, Control::kPrjWriter},
      {Control::kOptFile, Control::kStatus},        {Control::kOpCreate, Control::kOpMerge},
      {Control::kStatus, Control::kOpenFolder},     {Control::kPrjFile1, Control::kOpCreate},
  };
  for (int dpi : {96, 120, 144, 192}) {
    for (const ClientSize extra : {ClientSize{0, 0}, ClientSize{91, 37}, ClientSize{1000, 700}}) {
      SCOPED_TRACE("dpi " + std::to_string(dpi) + ", " + std::to_string(extra.width) + " x " +
                   std::to_string(extra.height) + " more");
      const ClientSize smallest = MinimumClientSize(dpi);
      const ClientSize client{smallest.width + extra.width, smallest.height + extra.height};
      const auto places = LayOut(dpi, client);
      for (const PixelRect& p : places) {
        EXPECT_GE(p.left, 0);
        EXPECT_GE(p.top, 0);
        EXPECT_LE(p.left + p.width, client.width);
        EXPECT_LE(p.top + p.height, client.height);
      }
      for (const Pair& pair : apart) {
        EXPECT_FALSE(Overlap(At(places, pair.a), At(places, pair.b)))
            << static_cast<int>(pair.a) << " and " << static_cast<int>(pair.b);
      }
    }
  }
}

}  // namespace
}  // namespace durvane::win32
