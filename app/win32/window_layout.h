// Where the Windows window's controls go: the design's positions and sizes in twips, scaled to
// the monitor's DPI, and how each control moves and grows when the window is larger than its
// smallest size (the preview pane and the lists take the room). Free of the Windows API so that
// the arithmetic is tested on its own.
#pragma once

#include <array>

namespace durvane::win32 {

enum class Control {
  kLabel1,
  kPrjDrive,
  kPrjDirectory,
  kPrjFile1,
  kOpCreate,
  kOpMerge,
  kLabel2,
  kOptDrive,
  kOptDirectory,
  kOptFile,
  kStatus,
  kProgress,
  kOpenFolder,
  kUndo,
  kCancel,
  kPrjWriter,
  kPreview,
};
inline constexpr int kControlCount = static_cast<int>(Control::kPreview) + 1;

// A rectangle in device pixels of the window's client area.
struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// `twips` (1440 to the inch) in device pixels at `dpi`, rounded to the nearest.
int TwipsToPixels(int twips, int dpi);

struct ClientSize {
  int width = 0;
  int height = 0;
};

// The smallest client area at `dpi`: the design with the preview pane to its right.
ClientSize MinimumClientSize(int dpi);

// Every control's place at `dpi` when the client area is `client`; a client area smaller than
// the smallest is laid out as the smallest.
std::array<PixelRect, kControlCount> LayOut(int dpi, ClientSize client);

}  // namespace durvane::win32
