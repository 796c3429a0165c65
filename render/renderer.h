// Draws a model into an RGBA picture: polygons split into triangles, a depth buffer, each
// face lit by its direction against one light, painted from its bitmap or in a flat colour.
// The camera looks at the whole model from a named side, turned by yaw and pitch, with a
// parallel projection. One thread, no uninitialised memory: the same input gives the same
// pixels.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/model.h"

namespace durvane::render {

// The side the camera looks from: along a stored axis, or the three-quarter view.
enum class View { kPlusX, kMinusX, kPlusY, kMinusY, kPlusZ, kMinusZ, kIso };

// "+x", "-x", "+y", "-y", "+z", "-z" or "iso"; none for another text.
std::optional<View> ParseView(std::string_view text);

inline constexpr int kMaxImageSide = 8192;

// The part of the picture's smaller side that the diameter of the model's bounding sphere (about
// the centre of its bounding box) spans, whatever the view.
inline constexpr double kSphereFit = 0.9;
// The range of RenderOptions::zoom: its corners' fixed-point values stay far below the range
// the edge tests are exact in.
inline constexpr double kMinZoom = 1.0 / 16;
inline constexpr double kMaxZoom = 16;

struct RenderOptions {
  View view = View::kIso;
  double yaw = 0;    // degrees, turning the camera about the z axis
  double pitch = 0;  // degrees, raising the camera towards +z
  int width = 512;   // 1 to kMaxImageSide
  int height = 512;
  bool flat = false;  // every polygon in the flat colour
  // Magnifies the fitted view about the model's centre, kMinZoom to kMaxZoom (clamped): above
  // 1 the model's outer parts leave the picture.
  double zoom = 1;
  // Asked now and then while drawing; when it returns true, Render throws Cancelled.
  std::function<bool()> cancelled;
};

// A drawing given up because RenderOptions::cancelled said so.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the drawing was cancelled"; }
};

// Pixels row by row from the top, four bytes each: red, green, blue, alpha. Where no polygon
// is drawn the pixel is transparent (all four bytes 0).
struct Image {
  int width = 0;
  int height = 0;
  LargeVector<std::uint8_t> rgba;

  const std::uint8_t* Pixel(int x, int y) const {
    return rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)) *
                             4;
  }
};

struct Rendering {
  Image image;
  // The model's warnings, then the drawing's: polygons left out (a non-finite value, or no
  // area) counted in one, an empty model in another.
  std::vector<std::string> warnings;
  std::size_t polygons_drawn = 0;
};

// Throws Error when the size is outside 1 to kMaxImageSide or the model has more polygons than
// a drawing can number.
Rendering Render(const Model& model, const RenderOptions& options);

// The colour of polygons without a usable bitmap, before lighting.
inline constexpr Rgb kFlatColour{200, 200, 200};

}  // namespace durvane::render
