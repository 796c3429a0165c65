#include "app/window/preview_view.h"

#include <algorithm>
#include <cmath>

#include "app/window/run_outcome.h"
#include "render/renderer.h"

namespace durvane::window {
namespace {

constexpr double kDegreesPerPixel = 0.5;
// How much one notch of the wheel magnifies.
constexpr double kZoomPerNotch = 1.25;

}  // namespace

void PreviewView::Reset() {
  yaw_ = pitch_ = 0;
  zoom_ = 1;
}

void PreviewView::Press(int x, int y) {
  from_x_ = x;
  from_y_ = y;
}

bool PreviewView::DragTo(int x, int y) {
  yaw_ -= (x - from_x_) * kDegreesPerPixel;
  pitch_ += (y - from_y_) * kDegreesPerPixel;
  from_x_ = x;
  from_y_ = y;
  dragging_ = true;
  if (draft_running_) {
    draft_wanted_ = true;
    return false;
  }
  draft_running_ = true;
  return true;
}

bool PreviewView::DraftFinished() {
  draft_running_ = false;
  if (!draft_wanted_ || !dragging_) return false;
  draft_wanted_ = false;
  draft_running_ = true;
  return true;
}

bool PreviewView::Release() {
  if (!dragging_) return false;
  dragging_ = false;
  draft_wanted_ = false;
  return true;
}

bool PreviewView::Wheel(double notches) {
  if (notches == 0) return false;
  zoom_ = std::clamp(zoom_ * std::pow(kZoomPerNotch, notches), render::kMinZoom, render::kMaxZoom);
  return true;
}

std::string PreviewView::Note(const std::vector<std::string>& warnings) {
  return Joined(warnings, "\n");
}

int PreviewView::DrawingSide(int pixels, bool draft) {
  return std::clamp(pixels / (draft ? kDraftDivisor : 1), 1, render::kMaxImageSide);
}

}  // namespace durvane::window
