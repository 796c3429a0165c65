#include "app/win32/window_layout.h"

#include <algorithm>

namespace durvane::win32 {
namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kDesignWidth = 6975;
constexpr int kDesignHeight = 5820;
// The preview pane, added to the right of the design, at the smallest size, and its margin.
constexpr int kPreviewWidth = 5400;
constexpr int kPreviewMargin = 120;
// Of the width the window gains over its smallest size, the part the lists get; the preview
// pane gets the rest.
constexpr int kListsShareOfWidth = 3;  // one in three

// How much a control moves and grows, in pixels, beyond its scaled design place.
struct Stretch {
  int dx = 0;
  int dy = 0;
  int dw = 0;
  int dh = 0;
};

}  // namespace

int TwipsToPixels(int twips, int dpi) {
  // Rounded half away from zero; twips and DPI are never negative here.
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

ClientSize MinimumClientSize(int dpi) {
  return {TwipsToPixels(kDesignWidth + kPreviewWidth + kPreviewMargin, dpi),
          TwipsToPixels(kDesignHeight, dpi)};
}

std::array<PixelRect, kControlCount> LayOut(int dpi, ClientSize client) {
  const ClientSize smallest = MinimumClientSize(dpi);
  const int window_extra_width = std::max(0, client.width - smallest.width);
  const int extra_height = std::max(0, client.height - smallest.height);
  const int extra_width = window_extra_width / kListsShareOfWidth;
  const int folders = extra_width / 2;
  const int files = extra_width - folders;
  const int top = extra_height / 2;
  const int bottom = extra_height - top;

  std::array<PixelRect, kControlCount> places{};
  const auto place = [&](Control control, int left, int twips_top, int width, int height,
                         Stretch stretch = {}) {
    places[static_cast<int>(control)] = {
        TwipsToPixels(left, dpi) + stretch.dx, TwipsToPixels(twips_top, dpi) + stretch.dy,
        TwipsToPixels(width, dpi) + stretch.dw, TwipsToPixels(height, dpi) + stretch.dh};
  };
  place(Control::kLabel1, 360, 360, 1815, 255);
  place(Control::kPrjDrive, 360, 600, 2415, 315, {0, 0, folders, 0});
  place(Control::kPrjDirectory, 360, 960, 2415, 1215, {0, 0, folders, top});
  place(Control::kPrjFile1, 2880, 600, 2175, 1650, {folders, 0, files, top});
  place(Control::kOpCreate, 5400, 1920, 1335, 375, {extra_width, top, 0, 0});
  place(Control::kOpMerge, 5400, 2400, 1335, 375, {extra_width, top, 0, 0});
  place(Control::kLabel2, 360, 2400, 1815, 255, {0, top, 0, 0});
  place(Control::kOptDrive, 360, 2640, 2415, 315, {0, top, folders, 0});
  place(Control::kOptDirectory, 360, 3000, 2415, 1215, {0, top, folders, bottom});
  place(Control::kOptFile, 2880, 2640, 2175, 1650, {folders, top, files, bottom});
  place(Control::kStatus, 360, 4380, 5055, 330, {0, extra_height, extra_width, 0});
  place(Control::kProgress, 360, 4380, 5055, 330, {0, extra_height, extra_width, 0});
  place(Control::kOpenFolder, 5520, 4380, 1095, 330, {extra_width, extra_height, 0, 0});
  place(Control::kUndo, 5520, 4380, 1095, 330, {extra_width, extra_height, 0, 0});
  place(Control::kCancel, 5520, 4350, 1095, 390, {extra_width, extra_height, 0, 0});
  place(Control::kPrjWriter, 2400, 4800, 1935, 735, {extra_width / 2, extra_height, 0, 0});
  place(Control::kPreview, kDesignWidth, kPreviewMargin, kPreviewWidth,
        kDesignHeight - 2 * kPreviewMargin,
        {extra_width, 0, window_extra_width - extra_width, extra_height});
  return places;
}

}  // namespace durvane::win32
