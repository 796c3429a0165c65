// The triangles a polygon is drawn as, and which polygons are drawn at all: the renderer draws
// these and an export writes them, so that a picture and an exported model hold the same
// triangles.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "render/model.h"

namespace durvane::render {

// The polygon's triangles as corner numbers: (0, 1, 2), and for four corners (0, 2, 3) after
// it.
struct Triangles {
  std::array<std::array<int, 3>, 2> corners{{{0, 1, 2}, {0, 2, 3}}};
  int count = 2;
};
inline Triangles TrianglesOf(const Polygon& polygon) {
  Triangles t;
  t.count = polygon.corner_count == 3 ? 1 : 2;
  return t;
}

// Whether the polygon is drawn: every value of its corners finite, and some triangle with an
// area.
bool Drawable(const Polygon& polygon);

// The warning for the `left_out` of `total` polygons that are not drawable.
std::string LeftOutWarning(std::size_t left_out, std::size_t total);

}  // namespace durvane::render
