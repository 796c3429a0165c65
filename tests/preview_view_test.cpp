// The preview's view without a toolkit: a drag turns it and draws reduced pictures one at a
// time, the wheel zooms within the renderer's range, a reset returns to the first view.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/window/preview_view.h"
#include "render/renderer.h"

namespace durvane::window {
namespace {

// One step of the mouse and what the view answers: for "drag" whether a reduced drawing is
// asked now, for "done" whether the next one is, for "release" whether a full one is.
struct Step {
  const char* what;  // "press", "drag", "done", "release", "reset"
  int x = 0;
  int y = 0;
  bool asks = false;
};

TEST(PreviewView, DragTurnsAndDrawsOneReducedPictureAtATime) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    double yaw;
    double pitch;
  };
  const std::vector<Case> cases = {
      {"click without a move", {{"press", 5, 5}, {"release", 5, 5, false}}, 0, 0},
      {"a move asks a draft, the release the full picture",
       {{"press", 10, 10}, {"drag", 30, 4, true}, {"done", 0, 0, false}, {"release", 0, 0, true}},
       -10,
       -3},
      {"moves during a draft ask for one more, at the last place",
       {{"press", 0, 0},
        {"drag", 10, 0, true},
        {"drag", 20, 0, false},
        {"drag", 30, 10, false},
        {"done", 0, 0, true},
        {"done", 0, 0, false},
        {"release", 0, 0, true}},
       -15,
       5},
      {"a draft ending after the release asks no other",
       {{"press", 0, 0},
        {"drag", 0, 8, true},
        {"drag", 0, 16, false},
        {"release", 0, 0, true},
        {"done", 0, 0, false},
        {"press", 0, 0},
        {"drag", 2, 0, true}},
       -1,
       8},
      {"a reset keeps the drag going from the first view",
       {{"press", 0, 0}, {"drag", 40, 40, true}, {"reset"}, {"done"}, {"drag", 44, 40, true}},
       -2,
       0},
  };
  for (const Case& c : cases) {
    PreviewView view;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      const std::string what = step.what;
      bool asks = false;
      if (what == "press") view.Press(step.x, step.y);
      if (what == "drag") asks = view.DragTo(step.x, step.y);
      if (what == "done") asks = view.DraftFinished();
      if (what == "release") asks = view.Release();
      if (what == "reset") view.Reset();
      EXPECT_EQ(asks, step.asks) << c.name << ", step " << i;
    }
    EXPECT_EQ(view.Yaw(), c.yaw) << c.name;
    EXPECT_EQ(view.Pitch(), c.pitch) << c.name;
    EXPECT_EQ(view.Zoom(), 1) << c.name;
  }
}

TEST(PreviewView, WheelZoomsByAQuarterANotchWithinTheRenderersRange) {
  struct Case {
    std::vector<double> notches;
    bool last_changes;
    double zoom;
  };
  const std::vector<Case> cases = {
      {{1}, true, 1.25},
      {{2}, true, 1.5625},
      {{-1}, true, 0.8},
      {{1, -1}, true, 1},
      {{0}, false, 1},
      {{0.5}, true, std::sqrt(1.25)},  // a wheel without notches
      {{40}, true, render::kMaxZoom},
      {{-40}, true, render::kMinZoom},
      {{40, -1}, true, render::kMaxZoom / 1.25},
  };
  for (const Case& c : cases) {
    PreviewView view;
    bool changes = false;
    for (double notches : c.notches) changes = view.Wheel(notches);
    EXPECT_EQ(changes, c.last_changes) << c.notches.size() << " turns, first " << c.notches[0];
    EXPECT_DOUBLE_EQ(view.Zoom(), c.zoom) << c.notches.size() << " turns, first " << c.notches[0];
    view.Reset();
    EXPECT_EQ(view.Zoom(), 1);
  }
}

TEST(PreviewView, DrawingSidesAndNote) {
  struct Case {
    int pixels;
    bool draft;
    int side;
  };
  const std::vector<Case> cases = {
      {300, false, 300},
      {300, true, 100},
      {301, true, 100},
      {2, true, 1},
      {0, false, 1},
      {render::kMaxImageSide + 1, false, render::kMaxImageSide},
      {render::kMaxImageSide * 3 + 3, true, render::kMaxImageSide},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewView::DrawingSide(c.pixels, c.draft), c.side) << c.pixels << " " << c.draft;
  }
  EXPECT_EQ(PreviewView::Note({}), "");
  EXPECT_EQ(PreviewView::Note({"bitmap 'A' is missing", "bitmap 'B' is missing"}),
            "bitmap 'A' is missing\nbitmap 'B' is missing");
}

}  // namespace
}  // namespace durvane::window
