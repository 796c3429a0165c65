#include "render/renderer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <utility>

// Blocks of the picture are tested four at a time with AVX2 where the processor has it. Not on
// Windows, where GCC does not align the stack for the 32-byte values it would spill.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define DURVANE_RENDER_AVX2 1
#include <immintrin.h>
#endif

namespace durvane::render {
namespace {

// How much of the drawing's shortcuts to take: all of them; all but the tests of four blocks
// at once in vector registers; or none, every triangle drawn over every tile of its box.
enum class Shortcuts { kAll, kPortable, kNone };

#ifdef DURVANE_RENDER_AVX2
// Per lane, the greatest and least of v * low and v * high: a slope's extremes over a range.
[[gnu::target("avx2,fma")]] inline __m256d Greatest(double v, __m256d low, __m256d high) {
  const __m256d slope = _mm256_set1_pd(v);
  return _mm256_max_pd(_mm256_mul_pd(slope, low), _mm256_mul_pd(slope, high));
}
[[gnu::target("avx2,fma")]] inline __m256d Least(__m256d v, __m256d low, __m256d high) {
  return _mm256_min_pd(_mm256_mul_pd(v, low), _mm256_mul_pd(v, high));
}
#endif

bool ProcessorHasAvx2() {
#ifdef DURVANE_RENDER_AVX2
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

// Light reaching a face turned away from the light; the rest depends on its direction.
constexpr float kAmbient = 0.3f;

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator-(Vec a, Vec b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator+(Vec a, Vec b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator*(double s, Vec a) {
  return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec a, Vec b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec a) {
  return std::sqrt(Dot(a, a));
}
Vec PointOf(const Corner& c) {
  return {c.point[0], c.point[1], c.point[2]};
}

// The polygon's triangles as corner numbers: one for three corners, two for four.
struct Triangles {
  std::array<std::array<int, 3>, 2> corners{{{0, 1, 2}, {0, 2, 3}}};
  int count = 2;
};
Triangles TrianglesOf(const Polygon& polygon) {
  Triangles t;
  t.count = polygon.corner_count == 3 ? 1 : 2;
  return t;
}

// The triangle's face direction, not normalised; zero when it has no area.
Vec FaceNormal(const Polygon& polygon, const std::array<int, 3>& c) {
  const Vec a = PointOf(polygon.corners[c[0]]);
  return Cross(PointOf(polygon.corners[c[1]]) - a, PointOf(polygon.corners[c[2]]) - a);
}

// Drawable: every value finite, and some triangle with an area.
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
    const Vec normal = FaceNormal(polygon, t.corners[i]);
    if (Dot(normal, normal) > 0) return true;  // a length above 0, without the square root
  }
  return false;
}

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

// The camera: `toward` points from the model to the camera, `right` and `up` span the picture.
struct Camera {
  Vec centre, right, up, toward;
  double scale = 1;  // pixels per model unit
  Vec light;         // unit vector towards the light
};

struct Turn {
  double yaw, pitch;  // radians
};
Turn TurnOf(const RenderOptions& options) {
  const Angles base = BaseAngles(options.view);
  return {(base.yaw + options.yaw) * std::numbers::pi / 180,
          (base.pitch + options.pitch) * std::numbers::pi / 180};
}

// The direction from the model to the camera: depths grow along it.
Vec TowardCamera(const RenderOptions& options) {
  const Turn turn = TurnOf(options);
  return {std::cos(turn.pitch) * std::cos(turn.yaw), std::cos(turn.pitch) * std::sin(turn.yaw),
          std::sin(turn.pitch)};
}

Camera MakeCamera(const RenderOptions& options, Vec low, Vec high) {
  const double yaw = TurnOf(options).yaw;
  Camera camera;
  camera.centre = 0.5 * (low + high);
  camera.toward = TowardCamera(options);
  camera.right = {-std::sin(yaw), std::cos(yaw), 0};
  camera.up = Cross(camera.toward, camera.right);
  const double radius = 0.5 * Length(high - low);
  const double side = std::min(options.width, options.height);
  camera.scale = radius > 0 ? kSphereFit * side / (2 * radius) : 1;
  if (!std::isfinite(camera.scale)) camera.scale = 1;
  // From above, left and in front, as seen from the camera.
  const Vec light = (-0.4 * camera.right) + (0.6 * camera.up) + camera.toward;
  camera.light = (1 / Length(light)) * light;
  return camera;
}

// std::llround for the values a corner can take, well inside 64 bits, without a library call:
// the fraction left by truncation is exact.
std::int64_t RoundToInteger(double value) {
  auto whole = static_cast<std::int64_t>(value);
  const double fraction = value - static_cast<double>(whole);
  if (fraction >= 0.5) ++whole;
  if (fraction <= -0.5) --whole;
  return whole;
}

// std::floor and std::ceil as whole numbers, inline rather than library calls, for values well
// inside 64 bits: every value taken here is clamped or bounded by the picture's size first.
std::int64_t FloorToInteger(double value) {
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) > value ? whole - 1 : whole;
}
std::int64_t CeilToInteger(double value) {
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) < value ? whole + 1 : whole;
}

// A corner on the picture: x and y in fixed point, kSubpixels to the pixel, so that edges
// shared by two triangles cover each pixel exactly once, whatever the rounding.
constexpr std::int64_t kSubpixels = 256;
struct ScreenCorner {
  std::int64_t x, y;
  float depth, u, v;
};

// Twice the signed area of (a, b, p); positive when p lies to the interior side of a -> b for
// triangles ordered as DrawTriangle orders them.
std::int64_t Edge(const ScreenCorner& a, const ScreenCorner& b, std::int64_t x, std::int64_t y) {
  return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// A pixel centre exactly on an edge belongs to the triangle only when the edge is a top edge
// (level, with the triangle below) or a left edge: one of two triangles sharing it.
std::int64_t EdgeBias(const ScreenCorner& a, const ScreenCorner& b) {
  const bool top = a.y == b.y && b.x > a.x;
  const bool left = b.y < a.y;
  return top || left ? 0 : -1;
}

class Rasterizer {
  // Per block of the picture, a floor: a plane over its pixels, origin + dx * x + dy * y at
  // pixel (x, y), that no depth drawn in the block lies under. Depths only grow nearer, so an
  // old floor stays true: a triangle under it cannot show in the block. Level 0 holds tiles of
  // kTileSide by kTileSide pixels, each next level blocks of two by two of the level below, up
  // to kTopLevel. A tile's floor is worked out from its pixels when a triangle is not turned
  // away by the old one (`changed` marks tiles drawn in since); a block's is joined from its
  // quarters' when a triangle raised one of theirs. The visible surface of a large model is
  // mostly made of planes, so a sloping floor follows it closely and turns hidden triangles
  // away in a few tests.
  static constexpr int kTileSide = 16;
  static constexpr std::size_t kTilePixels = kTileSide * kTileSide;
  // Blocks of 256 pixels: larger ones hold the outline of most models, where pixels stay
  // empty, so their floors would turn nothing away.
  static constexpr int kTopLevel = 4;
  static constexpr double kInfinity = std::numeric_limits<double>::infinity();
  // Lowers each floor by this fraction of the size of the values it is worked out from, more than
  // double rounding could raise it.
  static constexpr double kFloorSlack = 1e-9;
  struct Floor {
    double origin = -kInfinity, dx = 0, dy = 0;  // under everything: nothing drawn yet
    // No depth drawn in the block is under this either: where the plane slopes steeply, its
    // lowest corner lies far under the nearest pixel.
    double lowest = -kInfinity;
  };
  struct Level {
    int across = 0, down = 0;
    std::vector<Floor> floor;
    std::vector<std::uint8_t> changed;  // level 0 only
    std::size_t Index(int x, int y) const {
      return static_cast<std::size_t>(y) * static_cast<std::size_t>(across) +
             static_cast<std::size_t>(x);
    }
  };

 public:
  Rasterizer(const Model& model, const RenderOptions& options, const Camera& camera,
             Shortcuts shortcuts)
      : model_(model),
        options_(options),
        camera_(camera),
        exhaustive_(shortcuts == Shortcuts::kNone),
        vectors_(shortcuts == Shortcuts::kAll && ProcessorHasAvx2()) {
    const auto pixels =
        static_cast<std::size_t>(options.width) * static_cast<std::size_t>(options.height);
    image_.width = options.width;
    image_.height = options.height;
    image_.rgba.assign(pixels * 4, 0);
    for (int side = kTileSide;; side *= 2) {
      Level level;
      level.across = (options.width + side - 1) / side;
      level.down = (options.height + side - 1) / side;
      const auto blocks =
          static_cast<std::size_t>(level.across) * static_cast<std::size_t>(level.down);
      level.floor.assign(blocks, Floor{});
      if (levels_.empty()) level.changed.assign(blocks, 0);
      levels_.push_back(std::move(level));
      if (blocks == 1 || levels_.size() > kTopLevel) break;
    }
    depth_.assign(levels_[0].floor.size() * kTilePixels, -std::numeric_limits<float>::infinity());
    painted_.assign(levels_[0].floor.size(), 0);
  }

  // Draws the polygon, the `number`th drawn: a pixel drawn by its triangle i holds the
  // triangle's number, 2 * number + i + 1, until Shade paints it.
  void Draw(const Polygon& polygon, std::uint32_t number) {
    const int count = TrianglesOf(polygon).count;
    for (int i = 0; i < count; ++i) {
      Lit lit;
      if (LightTriangle(polygon, i, lit, false)) {
        DrawTriangle(lit.s, lit.area, 2 * number + i + 1);
      }
    }
  }

  // Paints every pixel drawn from the triangle that was drawn there last: the nearest. Each
  // pixel is painted once, however many triangles were drawn over it. `polygon_of` gives the
  // index of the polygon drawn `number`th.
  void Shade(const std::function<std::size_t(std::uint32_t number)>& polygon_of) {
    // What painting a triangle's pixels needs, worked out once for the triangles met lately:
    // the rows of a large model's picture mostly show the triangles of the row above, whose
    // records lie all over the file.
    struct Painted {
      std::uint32_t triangle = 0;  // none
      Lit lit;
      const Bitmap* bitmap = nullptr;
      float inverse_area = 0;
    };
    constexpr std::uint32_t kRecent = 2048;
    std::vector<Painted> recent(kRecent);
    std::uint32_t current = 0;
    const Painted* painting = nullptr;
    const Level& tiles = levels_[0];
    for (int y = 0; y < image_.height; ++y) {
      for (int x = 0; x < image_.width; ++x) {
        if (x % kTileSide == 0 && painted_[tiles.Index(x / kTileSide, y / kTileSide)] == 0) {
          x += kTileSide - 1;
          continue;
        }
        std::uint8_t* p = image_.rgba.data() + (static_cast<std::size_t>(y) * image_.width + x) * 4;
        std::uint32_t triangle;
        std::memcpy(&triangle, p, sizeof triangle);
        if (triangle == 0) continue;
        if (triangle != current) {
          current = triangle;
          Painted& entry = recent[triangle % kRecent];
          if (entry.triangle != triangle) {
            const Polygon polygon = model_[polygon_of((triangle - 1) / 2)];
            LightTriangle(polygon, static_cast<int>((triangle - 1) % 2), entry.lit);
            entry.triangle = triangle;
            entry.bitmap = options_.flat ? nullptr : model_.bitmap(polygon.bitmap);
            entry.inverse_area = 1.0f / static_cast<float>(entry.lit.area);
          }
          painting = &entry;
        }
        const Lit& lit = painting->lit;
        const Bitmap* bitmap = painting->bitmap;
        const float inverse_area = painting->inverse_area;
        // The weights as Fill worked them out at this pixel.
        const std::array<ScreenCorner, 3>& s = lit.s;
        const std::int64_t cx = x * kSubpixels + kSubpixels / 2;
        const std::int64_t cy = y * kSubpixels + kSubpixels / 2;
        const float b0 = static_cast<float>(Edge(s[1], s[2], cx, cy)) * inverse_area;
        const float b1 = static_cast<float>(Edge(s[2], s[0], cx, cy)) * inverse_area;
        const float b2 = static_cast<float>(Edge(s[0], s[1], cx, cy)) * inverse_area;
        Rgb colour = kFlatColour;
        if (bitmap != nullptr) {
          colour = bitmap->Sample(b0 * s[0].u + b1 * s[1].u + b2 * s[2].u,
                                  b0 * s[0].v + b1 * s[1].v + b2 * s[2].v);
        }
        p[0] = Channel(colour.r, lit.light);
        p[1] = Channel(colour.g, lit.light);
        p[2] = Channel(colour.b, lit.light);
        p[3] = 255;
      }
    }
  }

  Image Take() { return std::move(image_); }

 private:
  // A triangle on the picture, its corners ordered so that its area is positive, and its light.
  struct Lit {
    std::array<ScreenCorner, 3> s;
    std::int64_t area = 0;
    float light = 0;
  };
  // Triangle i of the polygon; false when it has no area, in space or on the picture.
  // Drawing needs only where it lies (`light` false); painting its light too.
  bool LightTriangle(const Polygon& polygon, int i, Lit& lit, bool light = true) const {
    const std::array<int, 3> corners = TrianglesOf(polygon).corners[i];
    const Vec normal = FaceNormal(polygon, corners);
    const double length_squared = Dot(normal, normal);  // float corners: no underflow to 0
    if (!(length_squared > 0)) return false;
    if (light) {
      const double facing = std::abs(Dot(normal, camera_.light)) / std::sqrt(length_squared);
      lit.light = static_cast<float>(kAmbient + (1 - kAmbient) * facing);
    }
    for (int k = 0; k < 3; ++k) lit.s[k] = Project(polygon.corners[corners[k]]);
    lit.area = Edge(lit.s[0], lit.s[1], lit.s[2].x, lit.s[2].y);
    // Half the triangles face away from the camera: the corners are chosen rather than
    // swapped behind a branch that would be guessed wrong as often as right.
    const bool flip = lit.area < 0;
    const ScreenCorner second = lit.s[1], third = lit.s[2];
    lit.s[1] = flip ? third : second;
    lit.s[2] = flip ? second : third;
    lit.area = flip ? -lit.area : lit.area;
    return lit.area != 0;  // 0: seen edge on
  }

  ScreenCorner Project(const Corner& c) const {
    const Vec q = PointOf(c) - camera_.centre;
    const double x = 0.5 * options_.width + camera_.scale * Dot(q, camera_.right);
    const double y = 0.5 * options_.height - camera_.scale * Dot(q, camera_.up);
    // The corners lie within the fitted sphere, so well inside the fixed-point range.
    return {RoundToInteger(x * kSubpixels), RoundToInteger(y * kSubpixels),
            static_cast<float>(camera_.scale * Dot(q, camera_.toward)), c.pair[0], c.pair[1]};
  }

  // What DrawTriangle works out once per triangle to test blocks of the picture against it.
  struct Shape {
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
    std::uint32_t number;          // what its pixels hold until Shade
  };

  // Draws a triangle whose corners are ordered so that its area is positive.
  void DrawTriangle(const std::array<ScreenCorner, 3>& s, std::int64_t area, std::uint32_t number) {
    Shape t;
    t.s = s;
    t.area = area;
    t.number = number;
    // The pixels whose centres the triangle's box holds.
    const auto first_pixel = [](std::int64_t low) {
      return static_cast<int>((low - kSubpixels / 2 + kSubpixels - 1) / kSubpixels);
    };
    const auto last_pixel = [](std::int64_t high) {
      return static_cast<int>((high - kSubpixels / 2) / kSubpixels);
    };
    t.x0 = std::max(0, first_pixel(std::min({s[0].x, s[1].x, s[2].x})));
    t.x1 = std::min(image_.width - 1, last_pixel(std::max({s[0].x, s[1].x, s[2].x})));
    t.y0 = std::max(0, first_pixel(std::min({s[0].y, s[1].y, s[2].y})));
    t.y1 = std::min(image_.height - 1, last_pixel(std::max({s[0].y, s[1].y, s[2].y})));
    if (t.x0 > t.x1 || t.y0 > t.y1) return;
    for (int e = 0; e < 3; ++e) {
      const ScreenCorner& a = s[(e + 1) % 3];
      const ScreenCorner& b = s[(e + 2) % 3];
      t.origin[e] = Edge(a, b, kSubpixels / 2, kSubpixels / 2) + EdgeBias(a, b);
      t.dx[e] = -(b.y - a.y) * kSubpixels;
      t.dy[e] = (b.x - a.x) * kSubpixels;
    }
    // The triangle's depth is a plane over the picture, and no point of it is nearer than its
    // nearest corner.
    const double px = static_cast<double>(kSubpixels);
    const double ax = (s[1].x - s[0].x) / px, ay = (s[1].y - s[0].y) / px;
    const double bx = (s[2].x - s[0].x) / px, by = (s[2].y - s[0].y) / px;
    const double az = s[1].depth - s[0].depth, bz = s[2].depth - s[0].depth;
    const double det = ax * by - ay * bx;
    t.dzdx = (az * by - ay * bz) / det;
    t.dzdy = (ax * bz - az * bx) / det;
    t.depth_origin = s[0].depth - t.dzdx * (s[0].x / px - 0.5) - t.dzdy * (s[0].y / px - 0.5);
    t.nearest_corner = std::max({s[0].depth, s[1].depth, s[2].depth});
    // Pixel depths come from rounded weights of the corners' depths: a margin in proportion to
    // the largest of them keeps every bound on the safe side of rounding.
    t.margin =
        1e-4 * (1 + std::max({std::abs(s[0].depth), std::abs(s[1].depth), std::abs(s[2].depth)}));
    for (int k = 0; k < 3; ++k) {
      t.px[k] = s[k].x / px - 0.5;
      t.py[k] = s[k].y / px - 0.5;
    }
    t.finite = std::isfinite(t.depth_origin) && std::isfinite(t.dzdx) && std::isfinite(t.dzdy) &&
               std::isfinite(t.nearest_corner) && std::isfinite(t.margin);
    if (exhaustive_) {
      for (int ty = t.y0 / kTileSide; ty <= t.y1 / kTileSide; ++ty) {
        for (int tx = t.x0 / kTileSide; tx <= t.x1 / kTileSide; ++tx) {
          Fill(t, Floor{}, levels_[0].Index(tx, ty), std::max(t.x0, tx * kTileSide),
               std::min(t.x1, tx * kTileSide + kTileSide - 1), std::max(t.y0, ty * kTileSide),
               std::min(t.y1, ty * kTileSide + kTileSide - 1));
        }
      }
      return;
    }
    const int top = static_cast<int>(levels_.size()) - 1;
    const int side = kTileSide << top;
    for (int by = t.y0 / side; by <= t.y1 / side; ++by) {
#ifdef DURVANE_RENDER_AVX2
      if (vectors_ && t.finite) {
        for (int bx = t.x0 / side; bx <= t.x1 / side; bx += 4) {
          const int shows = RowMaskAvx2(t, top, bx, by);
          for (int k = 0; k < 4; ++k) {
            if ((shows >> k & 1) != 0) Descend(t, top, bx + k, by);
          }
        }
        continue;
      }
#endif
      for (int bx = t.x0 / side; bx <= t.x1 / side; ++bx) {
        if (MayShow(t, top, bx, by)) Descend(t, top, bx, by);
      }
    }
  }

  // QuarterMask, four lanes at once where the processor can.
  int Quarters(const Shape& t, int level, int bx, int by) const {
#ifdef DURVANE_RENDER_AVX2
    if (vectors_ && t.finite) return QuarterMaskAvx2(t, level, bx, by);
#endif
    return QuarterMask(t, level, bx, by);
  }

  // The pixels of block (x, y) of `level` whose centres the triangle's box holds; none when
  // left > right or top > bottom.
  struct Rect {
    int left, right, top, bottom;
  };
  static Rect BlockRect(const Shape& t, int level, int x, int y) {
    const int side = kTileSide << level;
    return {std::max(t.x0, x * side), std::min(t.x1, x * side + side - 1), std::max(t.y0, y * side),
            std::min(t.y1, y * side + side - 1)};
  }

  // Which quarters of block (bx, by) of `level` + 1 the triangle may show in, as MayShow finds:
  // bit k for the one at (2 * bx + k % 2, 2 * by + k / 2). Only those its box reaches are tested.
  int QuarterMask(const Shape& t, int level, int bx, int by) const {
    const Level& l = levels_[level];
    const int side = kTileSide << level;
    const int x_begin = std::max(2 * bx, t.x0 / side);
    const int y_begin = std::max(2 * by, t.y0 / side);
    const int x_end = std::min({l.across, 2 * bx + 2, t.x1 / side + 1});
    const int y_end = std::min({l.down, 2 * by + 2, t.y1 / side + 1});
    int mask = 0;
    for (int y = y_begin; y < y_end; ++y) {
      for (int x = x_begin; x < x_end; ++x) {
        if (MayShow(t, level, x, y)) mask |= 1 << (2 * (y - 2 * by) + (x - 2 * bx));
      }
    }
    return mask;
  }

#ifdef DURVANE_RENDER_AVX2
  // QuarterMask with the four quarters in the four lanes of AVX2 registers. Every value the
  // edge tests take is a whole number well under 2^53, exact in double precision; the floor
  // tests are those of Hidden, for a triangle whose depth plane is finite, so that no lane
  // meets a NaN, whose minimum and maximum differ between AVX and the standard library.
  [[gnu::target("avx2,fma")]] int QuarterMaskAvx2(const Shape& t, int level, int bx, int by) const {
    const Level& l = levels_[level];
    const int x = 2 * bx, y = 2 * by;
    // Quarters past the picture's right or bottom edge do not exist: lanes 1 and 3, 2 and 3.
    // A missing quarter is given its neighbour's coordinates, and its lane is dropped.
    const bool has_right = x + 1 < l.across, has_below = y + 1 < l.down;
    const int exists =
        1 | (has_right ? 2 : 0) | (has_below ? 4 : 0) | (has_right && has_below ? 8 : 0);
    const int right = has_right ? x + 1 : x, below = has_below ? y + 1 : y;
    return BlockMaskAvx2(t, level, {x, right, x, right}, {y, y, below, below}) & exists;
  }

  // Which of the (up to) four blocks of the top level from (bx, by) rightwards the triangle
  // may show in, as MayShow finds: bit k for (bx + k, by). Only those its box reaches.
  [[gnu::target("avx2,fma")]] int RowMaskAvx2(const Shape& t, int level, int bx, int by) const {
    const Level& l = levels_[level];
    const int last = std::min(l.across - 1, t.x1 / (kTileSide << level));
    std::array<int, 4> x;
    for (int k = 0; k < 4; ++k) x[k] = std::min(bx + k, last);
    const int exists = (1 << std::min(4, last - bx + 1)) - 1;
    return BlockMaskAvx2(t, level, x, {by, by, by, by}) & exists;
  }

  // MayShow for the four blocks (x[k], y[k]) of `level`, in the four lanes: bit k for block k.
  [[gnu::target("avx2,fma")]] int BlockMaskAvx2(const Shape& t, int level,
                                                const std::array<int, 4>& x,
                                                const std::array<int, 4>& y) const {
    const Level& l = levels_[level];
    const int side = kTileSide << level;
    const __m256d block_x = _mm256_setr_pd(x[0], x[1], x[2], x[3]);
    const __m256d block_y = _mm256_setr_pd(y[0], y[1], y[2], y[3]);
    const __m256d size = _mm256_set1_pd(side);
    const __m256d last = _mm256_set1_pd(side - 1);
    const __m256d left = _mm256_max_pd(_mm256_set1_pd(t.x0), _mm256_mul_pd(block_x, size));
    const __m256d right = _mm256_min_pd(_mm256_set1_pd(t.x1), _mm256_fmadd_pd(block_x, size, last));
    const __m256d top = _mm256_max_pd(_mm256_set1_pd(t.y0), _mm256_mul_pd(block_y, size));
    const __m256d bottom =
        _mm256_min_pd(_mm256_set1_pd(t.y1), _mm256_fmadd_pd(block_y, size, last));
    __m256d shows = _mm256_and_pd(_mm256_cmp_pd(left, right, _CMP_LE_OQ),
                                  _mm256_cmp_pd(top, bottom, _CMP_LE_OQ));
    const __m256d zero = _mm256_setzero_pd();
    for (int e = 0; e < 3; ++e) {
      const __m256d edge =
          _mm256_add_pd(_mm256_add_pd(_mm256_set1_pd(static_cast<double>(t.origin[e])),
                                      Greatest(static_cast<double>(t.dx[e]), left, right)),
                        Greatest(static_cast<double>(t.dy[e]), top, bottom));
      shows = _mm256_and_pd(shows, _mm256_cmp_pd(edge, zero, _CMP_GE_OQ));
    }
    // The four floors, transposed from one per register to one field per register.
    const auto floor_at = [&](int k) { return &l.floor[l.Index(x[k], y[k])].origin; };
    const __m256d f0 = _mm256_loadu_pd(floor_at(0));
    const __m256d f1 = _mm256_loadu_pd(floor_at(1));
    const __m256d f2 = _mm256_loadu_pd(floor_at(2));
    const __m256d f3 = _mm256_loadu_pd(floor_at(3));
    const __m256d low01 = _mm256_unpacklo_pd(f0, f1), high01 = _mm256_unpackhi_pd(f0, f1);
    const __m256d low23 = _mm256_unpacklo_pd(f2, f3), high23 = _mm256_unpackhi_pd(f2, f3);
    const __m256d origin = _mm256_permute2f128_pd(low01, low23, 0x20);
    const __m256d dy = _mm256_permute2f128_pd(low01, low23, 0x31);
    const __m256d dx = _mm256_permute2f128_pd(high01, high23, 0x20);
    const __m256d lowest_drawn = _mm256_permute2f128_pd(high01, high23, 0x31);
    // Hidden, lane by lane.
    const __m256d ex = _mm256_sub_pd(_mm256_set1_pd(t.dzdx), dx);
    const __m256d ey = _mm256_sub_pd(_mm256_set1_pd(t.dzdy), dy);
    __m256d over_triangle = _mm256_set1_pd(-std::numeric_limits<double>::infinity());
    for (int k = 0; k < 3; ++k) {
      over_triangle = _mm256_max_pd(
          over_triangle,
          _mm256_fmadd_pd(ex, _mm256_set1_pd(t.px[k]), _mm256_mul_pd(ey, _mm256_set1_pd(t.py[k]))));
    }
    const __m256d over_rectangle =
        _mm256_add_pd(_mm256_max_pd(_mm256_mul_pd(ex, left), _mm256_mul_pd(ex, right)),
                      _mm256_max_pd(_mm256_mul_pd(ey, top), _mm256_mul_pd(ey, bottom)));
    const __m256d above = _mm256_add_pd(_mm256_sub_pd(_mm256_set1_pd(t.depth_origin), origin),
                                        _mm256_min_pd(over_triangle, over_rectangle));
    const __m256d lowest = _mm256_max_pd(
        lowest_drawn,
        _mm256_add_pd(origin, _mm256_add_pd(Least(dx, left, right), Least(dy, top, bottom))));
    const __m256d nearest = _mm256_min_pd(
        _mm256_set1_pd(t.nearest_corner),
        _mm256_add_pd(_mm256_set1_pd(t.depth_origin),
                      _mm256_add_pd(Greatest(t.dzdx, left, right), Greatest(t.dzdy, top, bottom))));
    const __m256d margin = _mm256_set1_pd(t.margin);
    const __m256d hidden =
        _mm256_or_pd(_mm256_cmp_pd(_mm256_add_pd(above, margin), zero, _CMP_LE_OQ),
                     _mm256_cmp_pd(_mm256_add_pd(nearest, margin), lowest, _CMP_LE_OQ));
    return _mm256_movemask_pd(_mm256_andnot_pd(hidden, shows));
  }
#endif

  // Whether the triangle may show in block (x, y) of `level`: some pixel centre of the block
  // lies inside it (no edge's function is below 0 over the whole block), and the block's floor
  // does not hide it. Worked out without early exits, so that the tests of a block's quarters
  // run side by side rather than each behind branches the processor cannot foresee.
  bool MayShow(const Shape& t, int level, int x, int y) const {
    const Rect r = BlockRect(t, level, x, y);
    bool inside = (r.left <= r.right) & (r.top <= r.bottom);
    for (int e = 0; e < 3; ++e) {
      const std::int64_t greatest = t.origin[e] + t.dx[e] * (t.dx[e] > 0 ? r.right : r.left) +
                                    t.dy[e] * (t.dy[e] > 0 ? r.bottom : r.top);
      inside &= greatest >= 0;
    }
    const Level& l = levels_[level];
    return inside & !Hidden(t, l.floor[l.Index(x, y)], r.left, r.right, r.top, r.bottom);
  }

  // Draws the triangle within block (bx, by) of `level`, where MayShow found that it may show.
  // True when the block's floor was raised: a tile's from its pixels, a block's joined anew
  // from its quarters' when one of theirs was.
  bool Descend(const Shape& t, int level, int bx, int by) {
    Level& l = levels_[level];
    const std::size_t block = l.Index(bx, by);
    if (level == 0) {
      const Rect r = BlockRect(t, 0, bx, by);
      bool raised = false;
      if (l.changed[block] != 0) {
        UpdateTile(bx, by, block);
        raised = true;
        if (Hidden(t, l.floor[block], r.left, r.right, r.top, r.bottom)) return raised;
      }
      if (Fill(t, l.floor[block], block, r.left, r.right, r.top, r.bottom)) {
        l.changed[block] = 1;
      }
      return raised;
    }
    // Every quarter is tested before any is drawn in: drawing in one changes only its own floor.
    const int shows = Quarters(t, level - 1, bx, by);
    bool raised = false;
    for (int k = 0; k < 4; ++k) {
      if ((shows >> k & 1) != 0)
        raised = Descend(t, level - 1, 2 * bx + (k & 1), 2 * by + k / 2) || raised;
    }
    if (raised) l.floor[block] = JoinFloors(level, bx, by);
    return raised;
  }

  // True when the triangle is no nearer than the floor anywhere in [left, right] x [top, bottom]:
  // either its plane less the floor's is 0 or less there, or the nearest it comes there (its
  // nearest corner, or its plane's nearest corner of the rectangle) is no nearer than the
  // nearest of the floor's farthest corner and its lowest depth. The planes and their
  // difference are at their greatest and least at corners of the rectangle; the difference is
  // also at its greatest over the triangle at one of the triangle's corners, and the lesser of
  // the two bounds it over the part of the triangle in the rectangle.
  static bool Hidden(const Shape& t, const Floor& f, int left, int right, int top, int bottom) {
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

  // The floor of block (bx, by) of `level` from those of its quarters: their mean slope, lowered
  // until it lies under each of them over the quarter's pixels.
  Floor JoinFloors(int level, int bx, int by) const {
    const Level& below = levels_[level - 1];
    const int side = kTileSide << (level - 1);
    const int x_end = std::min(below.across, 2 * bx + 2);
    const int y_end = std::min(below.down, 2 * by + 2);
    Floor joined{0, 0, 0, kInfinity};
    int count = 0;
    for (int y = 2 * by; y < y_end; ++y) {
      for (int x = 2 * bx; x < x_end; ++x) {
        const Floor& f = below.floor[below.Index(x, y)];
        if (f.origin == -kInfinity) return Floor{};
        joined.dx += f.dx;
        joined.dy += f.dy;
        joined.lowest = std::min(joined.lowest, f.lowest);
        ++count;
      }
    }
    joined.dx /= count;
    joined.dy /= count;
    joined.origin = kInfinity;
    double size = 0;
    for (int y = 2 * by; y < y_end; ++y) {
      for (int x = 2 * bx; x < x_end; ++x) {
        const Floor& f = below.floor[below.Index(x, y)];
        const double ex = f.dx - joined.dx, ey = f.dy - joined.dy;
        const int left = x * side, right = std::min(image_.width, left + side) - 1;
        const int top = y * side, bottom = std::min(image_.height, top + side) - 1;
        const double lowest =
            f.origin + ex * (ex > 0 ? left : right) + ey * (ey > 0 ? top : bottom);
        joined.origin = std::min(joined.origin, lowest);
        size =
            std::max(size, std::abs(f.origin) + std::abs(f.dx) * right + std::abs(f.dy) * bottom);
      }
    }
    joined.origin -= kFloorSlack * (1 + size);
    return joined;
  }

  // A tile's floor from its pixels: the least-squares slope of their depths, lowered until it
  // lies under every one; none while a pixel is empty.
  void UpdateTile(int tx, int ty, std::size_t tile) {
    Level& tiles = levels_[0];
    tiles.changed[tile] = 0;
    const int x_begin = tx * kTileSide, columns = std::min(image_.width - x_begin, kTileSide);
    const int y_begin = ty * kTileSide, rows = std::min(image_.height - y_begin, kTileSide);
    // A whole row of a tile is a fixed number of columns, which the compiler turns into vector
    // instructions; only tiles at the picture's right edge have fewer.
    tiles.floor[tile] = columns == kTileSide
                            ? FitTile<kTileSide>(tile, x_begin, y_begin, columns, rows)
                            : FitTile<0>(tile, x_begin, y_begin, columns, rows);
  }

  // Per column of a tile: the sum of its depths, the same weighted by each row's distance from
  // the tile's middle row, and its least and greatest depths.
  struct ColumnSums {
    std::array<float, kTileSide> sum{}, weighted{}, least, greatest;
  };
  template <int kColumns>
  void SumColumns(std::size_t tile, int runtime_columns, int rows, ColumnSums& sums) {
    const int columns = kColumns != 0 ? kColumns : runtime_columns;
    auto& [sum, weighted, least, greatest] = sums;
    least.fill(std::numeric_limits<float>::infinity());
    greatest.fill(-std::numeric_limits<float>::infinity());
    const float middle_row = 0.5f * static_cast<float>(rows - 1);
    for (int r = 0; r < rows; ++r) {
      const float* row = TileRow(tile, r);
      const float v = static_cast<float>(r) - middle_row;
      for (int c = 0; c < columns; ++c) {
        const float d = row[c];
        sum[c] += d;
        weighted[c] += v * d;
        least[c] = d < least[c] ? d : least[c];
        greatest[c] = d > greatest[c] ? d : greatest[c];
      }
    }
  }

  // The least of depth - dx * x - dy * y over the tile's pixels (x, y).
  template <int kColumns>
  double LowestOver(std::size_t tile, int x_begin, int y_begin, int runtime_columns, int rows,
                    double dx, double dy) {
    const int columns = kColumns != 0 ? kColumns : runtime_columns;
    std::array<double, kTileSide> run{}, under;
    for (int c = 0; c < columns; ++c) run[c] = dx * (x_begin + c);
    under.fill(kInfinity);
    for (int r = 0; r < rows; ++r) {
      const float* row = TileRow(tile, r);
      const double rise = dy * (y_begin + r);
      for (int c = 0; c < columns; ++c) {
        const double d = row[c] - run[c] - rise;
        under[c] = d < under[c] ? d : under[c];
      }
    }
    return *std::min_element(under.begin(), under.begin() + columns);
  }

#ifdef DURVANE_RENDER_AVX2
  // SumColumns and LowestOver for a whole tile, with its 16 columns in two or four registers.
  // No depth is a NaN (a NaN is never nearer), so the vector minimum and maximum agree with
  // the portable ones.
  [[gnu::target("avx2,fma")]] void SumWholeTileAvx2(std::size_t tile, ColumnSums& sums) {
    static_assert(kTileSide == 16);
    __m256 sum[2] = {_mm256_setzero_ps(), _mm256_setzero_ps()};
    __m256 weighted[2] = {sum[0], sum[0]};
    __m256 least[2] = {_mm256_set1_ps(std::numeric_limits<float>::infinity()),
                       _mm256_set1_ps(std::numeric_limits<float>::infinity())};
    __m256 greatest[2] = {_mm256_set1_ps(-std::numeric_limits<float>::infinity()),
                          _mm256_set1_ps(-std::numeric_limits<float>::infinity())};
    for (int r = 0; r < kTileSide; ++r) {
      const float* row = TileRow(tile, r);
      const __m256 v = _mm256_set1_ps(static_cast<float>(r) - 0.5f * (kTileSide - 1));
      for (int h = 0; h < 2; ++h) {
        const __m256 d = _mm256_loadu_ps(row + 8 * h);
        sum[h] = _mm256_add_ps(sum[h], d);
        weighted[h] = _mm256_fmadd_ps(v, d, weighted[h]);
        least[h] = _mm256_min_ps(least[h], d);
        greatest[h] = _mm256_max_ps(greatest[h], d);
      }
    }
    for (int h = 0; h < 2; ++h) {
      _mm256_storeu_ps(sums.sum.data() + 8 * h, sum[h]);
      _mm256_storeu_ps(sums.weighted.data() + 8 * h, weighted[h]);
      _mm256_storeu_ps(sums.least.data() + 8 * h, least[h]);
      _mm256_storeu_ps(sums.greatest.data() + 8 * h, greatest[h]);
    }
  }

  [[gnu::target("avx2,fma")]] double LowestOverWholeTileAvx2(std::size_t tile, int x_begin,
                                                             int y_begin, double dx, double dy) {
    __m256d run[4], under[4];
    for (int q = 0; q < 4; ++q) {
      const __m256d x = _mm256_add_pd(_mm256_set1_pd(x_begin + 4 * q), _mm256_setr_pd(0, 1, 2, 3));
      run[q] = _mm256_mul_pd(_mm256_set1_pd(dx), x);
      under[q] = _mm256_set1_pd(kInfinity);
    }
    for (int r = 0; r < kTileSide; ++r) {
      const float* row = TileRow(tile, r);
      const __m256d rise = _mm256_set1_pd(dy * (y_begin + r));
      for (int q = 0; q < 4; ++q) {
        const __m256d d = _mm256_cvtps_pd(_mm_loadu_ps(row + 4 * q));
        under[q] = _mm256_min_pd(under[q], _mm256_sub_pd(_mm256_sub_pd(d, run[q]), rise));
      }
    }
    const __m256d least =
        _mm256_min_pd(_mm256_min_pd(under[0], under[1]), _mm256_min_pd(under[2], under[3]));
    std::array<double, 4> lanes;
    _mm256_storeu_pd(lanes.data(), least);
    return std::min({lanes[0], lanes[1], lanes[2], lanes[3]});
  }
#endif

  // UpdateTile's floor for a tile of `rows` rows of `columns` pixels from (x_begin, y_begin);
  // kColumns, when not 0, is `columns` known in advance.
  template <int kColumns>
  Floor FitTile(std::size_t tile, int x_begin, int y_begin, int runtime_columns, int rows) {
    const int columns = kColumns != 0 ? kColumns : runtime_columns;
    // Column by column, so that each row is taken in at once: per column the sum of its
    // depths, the same weighted by each row's distance from the tile's middle row, and its
    // least and greatest depths. Single precision is ample for a slope: any slope gives a true
    // floor once lowered under every depth.
    constexpr float kFloatInfinity = std::numeric_limits<float>::infinity();
    [[maybe_unused]] const bool whole = kColumns == kTileSide && rows == kTileSide;
    ColumnSums sums;
#ifdef DURVANE_RENDER_AVX2
    if (whole && vectors_) {
      SumWholeTileAvx2(tile, sums);
    } else
#endif
    {
      SumColumns<kColumns>(tile, columns, rows, sums);
    }
    const auto& [sum, weighted, least, greatest] = sums;
    float lowest = kFloatInfinity, highest = -kFloatInfinity;
    double sum_ud = 0, sum_vd = 0, sum_uu = 0, sum_vv = 0;
    for (int c = 0; c < columns; ++c) {
      lowest = std::min(lowest, least[c]);
      highest = std::max(highest, greatest[c]);
      const double u = c - 0.5 * (columns - 1);
      sum_ud += u * sum[c];
      sum_vd += weighted[c];
      sum_uu += u * u;
    }
    if (lowest == -kFloatInfinity) return Floor{};  // a pixel not drawn yet
    for (int r = 0; r < rows; ++r) {
      const double v = r - 0.5 * (rows - 1);
      sum_vv += v * v;
    }
    // About the tile's middle, x and y are uncorrelated over its pixels: each slope is a ratio.
    Floor f;
    f.dx = sum_uu > 0 ? sum_ud / (sum_uu * rows) : 0;
    f.dy = sum_vv > 0 ? sum_vd / (sum_vv * columns) : 0;
    f.lowest = lowest;
    // The plane's origin under every depth, in double precision as the tests against it are.
#ifdef DURVANE_RENDER_AVX2
    if (whole && vectors_) {
      f.origin = LowestOverWholeTileAvx2(tile, x_begin, y_begin, f.dx, f.dy);
    } else
#endif
    {
      f.origin = LowestOver<kColumns>(tile, x_begin, y_begin, columns, rows, f.dx, f.dy);
    }
    const double size = std::max(std::abs(lowest), std::abs(highest));
    f.origin -= kFloorSlack * (1 + size + std::abs(f.dx) * (x_begin + columns) +
                               std::abs(f.dy) * (y_begin + rows));
    return f;
  }

  // Draws the triangle's pixels within [x0, x1] x [y0, y1] of tile `tile`, whose floor is
  // `floor`; true when any was drawn.
  bool Fill(const Shape& t, const Floor& floor, std::size_t tile, int x0, int x1, int y0, int y1) {
    const std::array<ScreenCorner, 3>& s = t.s;
    const int tile_left = x0 - x0 % kTileSide, tile_top = y0 - y0 % kTileSide;
    // Along a row the triangle's plane less the floor's changes by a fixed step; where it is
    // under -margin the triangle is hidden, so only the rest of the row is tested.
    const bool floored = std::isfinite(floor.origin);
    const double floor_step = t.dzdx - floor.dx;
    if (floored) {
      // The same over the rows, at the end of each row where the triangle is highest.
      const double highest =
          t.depth_origin - floor.origin + floor_step * (floor_step > 0 ? x1 : x0) + t.margin;
      const double row_step = t.dzdy - floor.dy;
      if (row_step == 0) {
        if (highest <= 0) return false;
      } else {
        // One row more on the open side than the crossing: rounding cannot hide one.
        const double cross = std::clamp(-highest / row_step, -1e9, 1e9);
        if (row_step > 0) {
          y0 = std::max(y0, static_cast<int>(FloorToInteger(cross)) - 1);
        } else {
          y1 = std::min(y1, static_cast<int>(CeilToInteger(cross)) + 1);
        }
        if (y0 > y1) return false;
      }
    }
    bool drawn = false;
    const float inverse_area = 1.0f / static_cast<float>(t.area);
    const std::int64_t bias0 = EdgeBias(s[1], s[2]);
    const std::int64_t bias1 = EdgeBias(s[2], s[0]);
    const std::int64_t bias2 = EdgeBias(s[0], s[1]);
    // Each edge function changes by a fixed step from one pixel to the next on the right, and
    // from one row to the next; `start` holds them, bias included, at the row's pixel x0.
    const std::int64_t step0 = t.dx[0], step1 = t.dx[1], step2 = t.dx[2];
    std::array<std::int64_t, 3> start;
    for (int e = 0; e < 3; ++e) start[e] = t.origin[e] + t.dx[e] * x0 + t.dy[e] * y0;
    for (int y = y0; y <= y1; ++y, start[0] += t.dy[0], start[1] += t.dy[1], start[2] += t.dy[2]) {
      // The run of pixels of this row inside all three edges, worked out rather than searched.
      std::int64_t first = 0;
      std::int64_t last = x1 - x0;
      if (floored) {
        // The row's pixels above the floor by more than -margin lie on one side of `cross`.
        const double above = t.depth_origin - floor.origin + (t.dzdy - floor.dy) * y + t.margin;
        if (floor_step == 0) {
          if (above <= 0) continue;
        } else {
          // One pixel more on the open side than the plane's crossing: rounding cannot hide one.
          const double cross = std::clamp(-above / floor_step, -1e9, 1e9);
          if (floor_step > 0) {
            first = std::max(first, FloorToInteger(cross) - 1 - x0);
          } else {
            last = std::min(last, CeilToInteger(cross) + 1 - x0);
          }
          if (first > last) continue;
        }
      }
      if (!Inside(start[0], step0, first, last) || !Inside(start[1], step1, first, last) ||
          !Inside(start[2], step2, first, last) || first > last) {
        continue;
      }
      // The weights are the edge functions without their bias, as Shade works them out.
      std::int64_t w0 = start[0] - bias0 + step0 * first;
      std::int64_t w1 = start[1] - bias1 + step1 * first;
      std::int64_t w2 = start[2] - bias2 + step2 * first;
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width);
      float* depth_row = TileRow(tile, y - tile_top);
      const int x_last = x0 + static_cast<int>(last);
      for (int x = x0 + static_cast<int>(first); x <= x_last;
           ++x, w0 += step0, w1 += step1, w2 += step2) {
        const float b0 = static_cast<float>(w0) * inverse_area;
        const float b1 = static_cast<float>(w1) * inverse_area;
        const float b2 = static_cast<float>(w2) * inverse_area;
        const float depth = b0 * s[0].depth + b1 * s[1].depth + b2 * s[2].depth;
        // Every pixel of the run is written, its old values kept where the triangle lies
        // under them: whether it does changes from pixel to pixel, which a branch would
        // mostly guess wrong.
        float& drawn_depth = depth_row[x - tile_left];
        const bool nearer = depth > drawn_depth;
        std::uint8_t* pixel = image_.rgba.data() + (row + static_cast<std::size_t>(x)) * 4;
        std::uint32_t number;
        std::memcpy(&number, pixel, sizeof number);
        number = nearer ? t.number : number;
        drawn_depth = nearer ? depth : drawn_depth;
        std::memcpy(pixel, &number, sizeof number);
        drawn |= nearer;
      }
    }
    if (drawn) painted_[tile] = 1;
    return drawn;
  }

  // Narrows [first, last] to the steps k at which value + step * k stays 0 or more; false
  // when no step does.
  // [first, last] lies within [0, the row's width], so most edges settle by comparison alone;
  // the rest take a quotient in floating point, corrected to the exact integer one.
  static bool Inside(std::int64_t value, std::int64_t step, std::int64_t& first,
                     std::int64_t& last) {
    if (step == 0) return value >= 0;
    if (step > 0) {
      // The least k with value + step * k >= 0.
      if (value + step * first >= 0) return true;
      if (value + step * last < 0) return false;
      std::int64_t k = CeilToInteger(static_cast<double>(-value) / static_cast<double>(step));
      while (value + step * k < 0) ++k;
      while (value + step * (k - 1) >= 0) --k;
      first = k;
    } else {
      // The greatest k with value + step * k >= 0.
      if (value + step * last >= 0) return true;
      if (value + step * first < 0) return false;
      std::int64_t k = FloorToInteger(static_cast<double>(value) / static_cast<double>(-step));
      while (value + step * k < 0) --k;
      while (value + step * (k + 1) >= 0) ++k;
      last = k;
    }
    return true;
  }

  static std::uint8_t Channel(std::uint8_t channel, float light) {
    return static_cast<std::uint8_t>(static_cast<float>(channel) * light + 0.5f);
  }

  const Model& model_;
  const RenderOptions& options_;
  const Camera& camera_;
  bool exhaustive_;
  bool vectors_;  // blocks' quarters tested by QuarterMaskAvx2
  Image image_;
  // The nearest depth drawn at each pixel, tile by tile: the kTilePixels of a tile in rows of
  // kTileSide, so that a tile's depths share few cache lines.
  LargeVector<float> depth_;
  float* TileRow(std::size_t tile, int row) {
    return depth_.data() + tile * kTilePixels + static_cast<std::size_t>(row) * kTileSide;
  }
  std::vector<Level> levels_;
  std::vector<std::uint8_t> painted_;  // per tile: whether any triangle was drawn in it
};

// A polygon to draw, and the key that puts it in drawing order; with its number of corners,
// so that drawing reads its points alone.
struct Entry {
  std::uint32_t key;
  std::uint32_t index : 31;
  std::uint32_t three_corners : 1;
};

// The depth's bits, turned so that nearer depths give smaller keys and equal depths (0 and -0
// too) equal keys.
std::uint32_t NearestFirstKey(float depth) {
  const auto bits = std::bit_cast<std::uint32_t>(depth + 0.0f);  // -0 + 0 is +0
  const std::uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
  return ~ascending;
}

// Sorts by key, keeping the order of equal keys: a radix sort, eleven bits at a time, whose
// three counts are taken in one pass.
void SortByKey(LargeVector<Entry>& entries) {
  constexpr int kBits = 11;
  constexpr std::size_t kBuckets = std::size_t{1} << kBits;
  std::array<std::array<std::size_t, kBuckets>, 3> start{};
  for (const Entry& e : entries) {
    for (int d = 0; d < 3; ++d) ++start[d][(e.key >> (kBits * d)) & (kBuckets - 1)];
  }
  LargeVector<Entry> sorted(entries.size());
  for (int d = 0; d < 3; ++d) {
    std::size_t sum = 0;
    for (std::size_t& count : start[d]) sum += std::exchange(count, sum);
    for (const Entry& e : entries) sorted[start[d][(e.key >> (kBits * d)) & (kBuckets - 1)]++] = e;
    entries.swap(sorted);
  }
}

// Asks RenderOptions::cancelled every few thousand polygons.
class CancelCheck {
 public:
  explicit CancelCheck(const RenderOptions& options) : cancelled_(options.cancelled) {}
  void operator()() {
    if (count_++ % 4096 == 0 && cancelled_ && cancelled_()) throw Cancelled();
  }

 private:
  const std::function<bool()>& cancelled_;
  std::uint32_t count_ = 0;
};

}  // namespace

std::optional<View> ParseView(std::string_view text) {
  static constexpr std::pair<std::string_view, View> kViews[] = {
      {"+x", View::kPlusX}, {"-x", View::kMinusX}, {"+y", View::kPlusY}, {"-y", View::kMinusY},
      {"+z", View::kPlusZ}, {"-z", View::kMinusZ}, {"iso", View::kIso}};
  for (const auto& [name, view] : kViews) {
    if (text == name) return view;
  }
  return std::nullopt;
}

namespace {

Rendering Draw(const Model& model, const RenderOptions& options, Shortcuts shortcuts) {
  if (options.width < 1 || options.width > kMaxImageSide || options.height < 1 ||
      options.height > kMaxImageSide) {
    throw std::invalid_argument("the picture's width and height must be 1 to " +
                                std::to_string(kMaxImageSide) + " pixels");
  }
  Rendering rendering;
  rendering.warnings = model.warnings();

  // One pass over the polygons: which can be drawn, the box around them, and the order they
  // are drawn in, nearest first by their nearest corners. A depth is a distance along the
  // direction to the camera, whatever the camera's place, so the order needs no camera yet;
  // it is measured from the first corner met, where single precision is finest.
  constexpr double kInf = std::numeric_limits<double>::infinity();
  Vec low{kInf, kInf, kInf};
  Vec high{-kInf, -kInf, -kInf};
  const Vec toward = TowardCamera(options);
  std::optional<double> reference;
  // A pixel holds the number of the triangle drawn there, two per polygon, in 32 bits; the
  // drawing order holds polygon indices in 31.
  if (model.size() >= std::numeric_limits<std::uint32_t>::max() / 2) {
    throw std::invalid_argument("the model has too many polygons to draw");
  }
  LargeVector<Entry> order;
  order.reserve(model.size());
  CancelCheck check(options);
  for (std::size_t i = 0; i < model.size(); ++i) {
    check();
    const Polygon polygon = model[i];
    if (!Drawable(polygon)) continue;
    ++rendering.polygons_drawn;
    const int corners = polygon.corner_count;
    double nearest = -kInf;
    for (int c = 0; c < corners; ++c) {
      const Vec p = PointOf(polygon.corners[c]);
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
      nearest = std::max(nearest, Dot(p, toward));
    }
    if (!reference) reference = nearest;
    // Held within single precision's range, which corners near its limits can pass.
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    const double depth = std::clamp(nearest - *reference, -kFloatMax, kFloatMax);
    order.push_back({NearestFirstKey(static_cast<float>(depth)), static_cast<std::uint32_t>(i),
                     corners == 3 ? 1u : 0u});
  }
  const std::size_t left_out = model.size() - rendering.polygons_drawn;
  if (left_out > 0) {
    rendering.warnings.push_back(std::to_string(left_out) + " of " + std::to_string(model.size()) +
                                 " polygon(s) left out: a corner with a non-finite value, or no "
                                 "area");
  }
  if (rendering.polygons_drawn == 0) {
    rendering.warnings.push_back("the model has no polygon to draw: the picture is empty");
    rendering.image.width = options.width;
    rendering.image.height = options.height;
    rendering.image.rgba.assign(
        static_cast<std::size_t>(options.width) * static_cast<std::size_t>(options.height) * 4, 0);
    return rendering;
  }

  const Camera camera = MakeCamera(options, low, high);
  Rasterizer rasterizer(model, options, camera, shortcuts);
  // Nearest first; among equals, file order. Which polygon shows at a pixel depends only on
  // the depths, and on file order where two are equally near there.
  SortByKey(order);
  CancelCheck draw_check(options);
  // The polygons are read in depth order, all over the file: their records are asked for a
  // few polygons ahead, and the corners they name half as far ahead.
  constexpr std::size_t kAhead = 16;
  for (std::size_t k = 0; k < order.size(); ++k) {
    draw_check();
    if (k + kAhead < order.size()) model.Prefetch(order[k + kAhead].index);
    if (k + kAhead / 2 < order.size()) model.PrefetchCorners(order[k + kAhead / 2].index);
    const Entry& entry = order[k];
    rasterizer.Draw(model.Points(entry.index, entry.three_corners != 0 ? 3 : 4),
                    static_cast<std::uint32_t>(k));
  }
  rasterizer.Shade([&order](std::uint32_t number) { return order[number].index; });
  rendering.image = rasterizer.Take();
  return rendering;
}

}  // namespace

Rendering Render(const Model& model, const RenderOptions& options) {
  return Draw(model, options, Shortcuts::kAll);
}

Rendering RenderPortably(const Model& model, const RenderOptions& options) {
  return Draw(model, options, Shortcuts::kPortable);
}

Rendering RenderExhaustively(const Model& model, const RenderOptions& options) {
  return Draw(model, options, Shortcuts::kNone);
}

}  // namespace durvane::render
