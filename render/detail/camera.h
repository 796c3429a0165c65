// The renderer's maths and camera: vectors, the triangles of a polygon, the camera that looks
// at the model, and corners projected onto the picture in fixed point. Shared by the
// rasteriser, the depth floors and shading; not for callers of the renderer.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "render/model.h"
#include "render/polygon_triangles.h"
#include "render/renderer.h"

namespace durvane::render::detail {

struct Vec {
  double x = 0, y = 0, z = 0;
};
inline Vec operator-(Vec a, Vec b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec operator+(Vec a, Vec b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec operator*(double s, Vec a) {
  return {s * a.x, s * a.y, s * a.z};
}
inline double Dot(Vec a, Vec b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec Cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec a) {
  return std::sqrt(Dot(a, a));
}
inline Vec PointOf(const Corner& c) {
  return {c.point[0], c.point[1], c.point[2]};
}

// The triangle's face direction, not normalised; zero when it has no area.
inline Vec FaceNormal(const Polygon& polygon, const std::array<int, 3>& c) {
  const Vec a = PointOf(polygon.corners[c[0]]);
  return Cross(PointOf(polygon.corners[c[1]]) - a, PointOf(polygon.corners[c[2]]) - a);
}

// The direction from the model to the camera: depths grow along it.
Vec TowardCamera(const RenderOptions& options);

// The camera: `toward` points from the model to the camera, `right` and `up` span the picture.
struct Camera {
  Vec centre, right, up, toward;
  double scale = 1;           // pixels per model unit
  Vec light;                  // unit vector towards the light
  int width = 0, height = 0;  // the picture's, in pixels
};

// A camera that fits the sphere about the box from `low` to `high` into the picture.
Camera MakeCamera(const RenderOptions& options, Vec low, Vec high);

// std::llround for the values a corner can take, well inside 64 bits, without a library call:
// the fraction left by truncation is exact.
inline std::int64_t RoundToInteger(double value) {
  auto whole = static_cast<std::int64_t>(value);
  const double fraction = value - static_cast<double>(whole);
  if (fraction >= 0.5) ++whole;
  if (fraction <= -0.5) --whole;
  return whole;
}

// std::floor and std::ceil as whole numbers, inline rather than library calls, for values well
// inside 64 bits: every value taken here is clamped or bounded by the picture's size first.
inline std::int64_t FloorToInteger(double value) {
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) > value ? whole - 1 : whole;
}
inline std::int64_t CeilToInteger(double value) {
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) < value ? whole + 1 : whole;
}

// A corner on the picture: x and y in fixed point, kSubpixels to the pixel, so that edges
// shared by two triangles cover each pixel exactly once, whatever the rounding.
inline constexpr std::int64_t kSubpixels = 256;
struct ScreenCorner {
  std::int64_t x, y;
  float depth, u, v;
};

// Twice the signed area of (a, b, p); positive when p lies to the interior side of a -> b for
// triangles ordered as PlaceTriangle orders them.
inline std::int64_t Edge(const ScreenCorner& a, const ScreenCorner& b, std::int64_t x,
                         std::int64_t y) {
  return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// A pixel centre exactly on an edge belongs to the triangle only when the edge is a top edge
// (level, with the triangle below) or a left edge: one of two triangles sharing it.
inline std::int64_t EdgeBias(const ScreenCorner& a, const ScreenCorner& b) {
  const bool top = a.y == b.y && b.x > a.x;
  const bool left = b.y < a.y;
  return top || left ? 0 : -1;
}

// A triangle on the picture, its corners ordered so that its area is positive.
struct ScreenTriangle {
  std::array<ScreenCorner, 3> s;
  std::int64_t area = 0;
};

// Triangle i of the polygon on the picture; false when it has no area, in space or on the
// picture.
bool PlaceTriangle(const Polygon& polygon, int i, const Camera& camera, ScreenTriangle& placed);

}  // namespace durvane::render::detail
