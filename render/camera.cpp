#include "render/detail/camera.h"

#include <algorithm>
#include <numbers>

namespace durvane::render::detail {
namespace {

struct Angles {
  double yaw = 0, pitch = 0;
};
Angles BaseAngles(View view) {
  switch (view) {
    case View::kPlusX:
      return {0, 0};
    case View::kMinusX:
      return {180, 0};
    case View::kPlusY:
      return {90, 0};
    case View::kMinusY:
      return {-90, 0};
    case View::kPlusZ:
      return {0, 90};
    case View::kMinusZ:
      return {0, -90};
    case View::kIso:
      break;
  }
  return {-135, 30};
}

struct Turn {
  double yaw, pitch;  // radians
};
Turn TurnOf(const RenderOptions& options) {
  const Angles base = BaseAngles(options.view);
  return {(base.yaw + options.yaw) * std::numbers::pi / 180,
          (base.pitch + options.pitch) * std::numbers::pi / 180};
}

ScreenCorner Project(const Corner& c, const Camera& camera) {
  const Vec q = PointOf(c) - camera.centre;
  const double x = 0.5 * camera.width + camera.scale * Dot(q, camera.right);
  const double y = 0.5 * camera.height - camera.scale * Dot(q, camera.up);
  // The corners lie within the fitted sphere magnified at most kMaxZoom times, so well inside
  // the fixed-point range.
  return {RoundToInteger(x * kSubpixels), RoundToInteger(y * kSubpixels),
          static_cast<float>(camera.scale * Dot(q, camera.toward)), c.pair[0], c.pair[1]};
}

}  // namespace

Vec TowardCamera(const RenderOptions& options) {
  const Turn turn = TurnOf(options);
  return {std::cos(turn.pitch) * std::cos(turn.yaw), std::cos(turn.pitch) * std::sin(turn.yaw),
          std::sin(turn.pitch)};
}

Camera MakeCamera(const RenderOptions& options, Vec low, Vec high) {
  const double yaw = TurnOf(options).yaw;
  Camera camera;
  camera.width = options.width;
  camera.height = options.height;
  camera.centre = 0.5 * (low + high);
  camera.toward = TowardCamera(options);
  camera.right = {-std::sin(yaw), std::cos(yaw), 0};
  camera.up = Cross(camera.toward, camera.right);
  const double radius = 0.5 * Length(high - low);
  const double side = std::min(options.width, options.height);
  const double zoom =
      std::isfinite(options.zoom) ? std::clamp(options.zoom, kMinZoom, kMaxZoom) : 1;
  camera.scale = radius > 0 ? zoom * kSphereFit * side / (2 * radius) : 1;
  if (!std::isfinite(camera.scale)) camera.scale = 1;
  // From above, left and in front, as seen from the camera.
  const Vec light = (-0.4 * camera.right) + (0.6 * camera.up) + camera.toward;
  camera.light = (1 / Length(light)) * light;
  return camera;
}

bool PlaceTriangle(const Polygon& polygon, int i, const Camera& camera, ScreenTriangle& placed) {
  const std::array<int, 3> corners = TrianglesOf(polygon).corners[i];
  const Vec normal = FaceNormal(polygon, corners);
  if (!(Dot(normal, normal) > 0)) return false;  // float corners: no underflow to 0
  for (int k = 0; k < 3; ++k) placed.s[k] = Project(polygon.corners[corners[k]], camera);
  placed.area = Edge(placed.s[0], placed.s[1], placed.s[2].x, placed.s[2].y);
  // Half the triangles face away from the camera: the corners are chosen rather than
  // swapped behind a branch that would be guessed wrong as often as right.
  const bool flip = placed.area < 0;
  const ScreenCorner second = placed.s[1], third = placed.s[2];
  placed.s[1] = flip ? third : second;
  placed.s[2] = flip ? second : third;
  placed.area = flip ? -placed.area : placed.area;
  return placed.area != 0;  // 0: seen edge on
}

}  // namespace durvane::render::detail

namespace durvane::render {

bool Drawable(const Polygon& polygon) {
  for (const Corner& c : polygon.corners) {
    for (float v : c.point) {
      if (!std::isfinite(v)) return false;
    }
    for (float v : c.pair) {
      if (!std::isfinite(v)) return false;
    }
  }
  const Triangles t = TrianglesOf(polygon);
  for (int i = 0; i < t.count; ++i) {
    const detail::Vec normal = detail::FaceNormal(polygon, t.corners[i]);
    if (detail::Dot(normal, normal) > 0) return true;  // a length above 0, without the square root
  }
  return false;
}

}  // namespace durvane::render
