// The depth floors that turn hidden triangles away before their pixels are drawn.
//
// Per block of the picture, a floor: a plane over its pixels, origin + dx * x + dy * y at
// pixel (x, y), that no depth drawn in the block lies under. Depths only grow nearer, so an
// old floor stays true: a triangle under it cannot show in the block. Level 0 holds tiles of
// kTileSide by kTileSide pixels, each next level blocks of two by two of the level below, up
// to kTopLevel. A tile's floor is worked out from its pixels when a triangle is not turned
// away by the old one; a block's is joined from its quarters' when a triangle raised one of
// theirs. The visible surface of a large model is mostly made of planes, so a sloping floor
// follows it closely and turns hidden triangles away in a few tests.
//
// The tests of four blocks at once and the fitting of a whole tile come in a portable form
// and, where the build and the processor have it, in AVX2: ChooseFloorKernels picks one set.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "render/detail/camera.h"

namespace durvane::render::detail {

inline constexpr int kTileSide = 16;
inline constexpr std::size_t kTilePixels = kTileSide * kTileSide;
// Blocks of 256 pixels: larger ones hold the outline of most models, where pixels stay empty,
// so their floors would turn nothing away.
inline constexpr int kTopLevel = 4;
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Lowers each floor by this fraction of the size of the values it is worked out from, more than
// double rounding could raise it.
inline constexpr double kFloorSlack = 1e-9;

struct Floor {
  double origin = -kInfinity, dx = 0, dy = 0;  // under everything: nothing drawn yet
  // No depth drawn in the block is under this either: where the plane slopes steeply, its
  // lowest corner lies far under the nearest pixel.
  double lowest = -kInfinity;
};
// The AVX2 block test loads a floor as four doubles, in this order, from its first field.
static_assert(offsetof(Floor, origin) == 0 && offsetof(Floor, dx) == sizeof(double) &&
              offsetof(Floor, dy) == 2 * sizeof(double) &&
              offsetof(Floor, lowest) == 3 * sizeof(double) && sizeof(Floor) == 4 * sizeof(double));

// The blocks of one level: their floors row by row.
struct FloorLevel {
  int side = 0;  // pixels
  int across = 0, down = 0;
  std::vector<Floor> floor;
  std::vector<std::uint8_t> changed;  // level 0 only: tiles drawn in since their floor was fitted
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(across) +
           static_cast<std::size_t>(x);
  }
};

// What the rasteriser works out once per triangle to test blocks of the picture against it.
struct TriangleShape {
  std::array<ScreenCorner, 3> s;
  std::int64_t area;
  int x0, x1, y0, y1;  // the pixels whose centres the triangle's box holds
  // Per edge, its function at pixel centres, bias included: origin + dx * x + dy * y, 0 or
  // more inside.
  std::array<std::int64_t, 3> origin, dx, dy;
  // The depth plane over pixel centres, and the depth of the nearest corner.
  double depth_origin, dzdx, dzdy, nearest_corner, margin;
  std::array<double, 3> px, py;  // the corners in pixels, where pixel centres are whole
  bool finite;                   // the depth plane's values: the vector tests need them finite
  std::uint32_t number;          // what its pixels hold until they are shaded
};

// The pixels of a block whose centres the triangle's box holds; none when left > right or
// top > bottom.
struct Rect {
  int left, right, top, bottom;
};
inline Rect BlockRect(const TriangleShape& t, int side, int x, int y) {
  return {std::max(t.x0, x * side), std::min(t.x1, x * side + side - 1), std::max(t.y0, y * side),
          std::min(t.y1, y * side + side - 1)};
}

// True when the triangle is no nearer than the floor anywhere in [left, right] x [top, bottom]:
// either its plane less the floor's is 0 or less there, or the nearest it comes there (its
// nearest corner, or its plane's nearest corner of the rectangle) is no nearer than the
// nearest of the floor's farthest corner and its lowest depth. The planes and their
// difference are at their greatest and least at corners of the rectangle; the difference is
// also at its greatest over the triangle at one of the triangle's corners, and the lesser of
// the two bounds it over the part of the triangle in the rectangle.
inline bool Hidden(const TriangleShape& t, const Floor& f, int left, int right, int top,
                   int bottom) {
  const double ex = t.dzdx - f.dx, ey = t.dzdy - f.dy;
  const double over_triangle = std::max(
      {ex * t.px[0] + ey * t.py[0], ex * t.px[1] + ey * t.py[1], ex * t.px[2] + ey * t.py[2]});
  // Each corner is chosen by a maximum or minimum of products rather than by a slope's sign:
  // the signs change from block to block, and branches on them would mostly be mispredicted.
  const double l = left, r = right, u = top, d = bottom;
  const double over_rectangle = std::max(ex * l, ex * r) + std::max(ey * u, ey * d);
  const double above = t.depth_origin - f.origin + std::min(over_triangle, over_rectangle);
  const double lowest =
      std::max(f.lowest, f.origin + std::min(f.dx * l, f.dx * r) + std::min(f.dy * u, f.dy * d));
  const double nearest =
      std::min(t.nearest_corner, t.depth_origin + std::max(t.dzdx * l, t.dzdx * r) +
                                     std::max(t.dzdy * u, t.dzdy * d));
  return (above + t.margin <= 0) | (nearest + t.margin <= lowest);
}

// Whether the triangle may show in block (x, y) of `level`: some pixel centre of the block
// lies inside it (no edge's function is below 0 over the whole block), and the block's floor
// does not hide it. Worked out without early exits, so that the tests of a block's quarters
// run side by side rather than each behind branches the processor cannot foresee.
inline bool MayShow(const TriangleShape& t, const FloorLevel& level, int x, int y) {
  const Rect r = BlockRect(t, level.side, x, y);
  bool inside = (r.left <= r.right) & (r.top <= r.bottom);
  for (int e = 0; e < 3; ++e) {
    const std::int64_t greatest = t.origin[e] + t.dx[e] * (t.dx[e] > 0 ? r.right : r.left) +
                                  t.dy[e] * (t.dy[e] > 0 ? r.bottom : r.top);
    inside &= greatest >= 0;
  }
  return inside & !Hidden(t, level.floor[level.Index(x, y)], r.left, r.right, r.top, r.bottom);
}

// Four blocks of one level, (x[k], y[k]), of which those with bit k of `tested` set are
// asked about. Every (x[k], y[k]) is a block of the level, tested or not.
struct FourBlocks {
  std::array<int, 4> x, y;
  int tested;
};

// Per column of a tile: the sum of its depths, the same weighted by each row's distance from
// the tile's middle row, and its least and greatest depths.
struct ColumnSums {
  std::array<float, kTileSide> sum{}, weighted{}, least, greatest;
};

// The tests and fits that have a vector form. A tile's depths are kTilePixels floats, in rows
// of kTileSide.
struct FloorKernels {
  const char* name;  // "avx2" or "portable"
  // Bit k set when MayShow holds for tested block k.
  int (*may_show)(const TriangleShape& t, const FloorLevel& level, const FourBlocks& blocks);
  // ColumnSums of a whole tile.
  void (*sum_whole_tile)(const float* depths, ColumnSums& sums);
  // The least of depth - dx * x - dy * y over a whole tile's pixels (x, y), its first pixel
  // at (x_begin, y_begin).
  double (*lowest_over_whole_tile)(const float* depths, int x_begin, int y_begin, double dx,
                                   double dy);
};

// The one place that picks between the vector and the portable code: the AVX2 kernels when
// `vectors` is true and both the build and the processor have them.
const FloorKernels& ChooseFloorKernels(bool vectors);

// The portable kernels, and the AVX2 ones where the build and the processor have them (none
// otherwise).
const FloorKernels& PortableFloorKernels();
const FloorKernels* Avx2FloorKernels();

// A tile's floor from its `rows` rows of `columns` depths from (x_begin, y_begin): the
// least-squares slope of their depths, lowered until it lies under every one; none while a
// pixel is empty.
Floor FitTile(const FloorKernels& kernels, const float* depths, int x_begin, int y_begin,
              int columns, int rows);

// The floor of block (bx, by) of the level above `below` from those of its quarters: their
// mean slope, lowered until it lies under each of them over the quarter's pixels, within a
// picture of `width` by `height`.
Floor JoinFloors(const FloorLevel& below, int bx, int by, int width, int height);

}  // namespace durvane::render::detail
