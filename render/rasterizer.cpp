#include "render/detail/rasterizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

namespace durvane::render::detail {
namespace {

// Narrows [first, last] to the steps k at which value + step * k stays 0 or more; false
// when no step does.
// [first, last] lies within [0, the row's width], so most edges settle by comparison alone;
// the rest take a quotient in floating point, corrected to the exact integer one.
bool Inside(std::int64_t value, std::int64_t step, std::int64_t& first, std::int64_t& last) {
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

// The (up to) four blocks of `level` from (bx, by) rightwards that the triangle's box reaches.
FourBlocks RowFrom(const TriangleShape& t, const FloorLevel& level, int bx, int by) {
  const int last = std::min(level.across - 1, t.x1 / level.side);
  FourBlocks blocks;
  for (int k = 0; k < 4; ++k) {
    blocks.x[k] = std::min(bx + k, last);
    blocks.y[k] = by;
  }
  blocks.tested = (1 << std::min(4, last - bx + 1)) - 1;
  return blocks;
}

// The quarters of block (bx, by) of the level above `level`, block k at
// (2 * bx + k % 2, 2 * by + k / 2): those within the picture that the triangle's box reaches.
// A quarter past the picture's edge is given its neighbour's place, untested.
FourBlocks QuartersOf(const TriangleShape& t, const FloorLevel& level, int bx, int by) {
  const int x = 2 * bx, y = 2 * by;
  const int right = std::min(x + 1, level.across - 1), below = std::min(y + 1, level.down - 1);
  const int x_first = t.x0 / level.side, x_last = t.x1 / level.side;
  const int y_first = t.y0 / level.side, y_last = t.y1 / level.side;
  FourBlocks blocks{{x, right, x, right}, {y, y, below, below}, 0};
  for (int k = 0; k < 4; ++k) {
    const int qx = x + k % 2, qy = y + k / 2;
    const bool tested = qx < level.across && qy < level.down && qx >= x_first && qx <= x_last &&
                        qy >= y_first && qy <= y_last;
    blocks.tested |= tested ? 1 << k : 0;
  }
  return blocks;
}

}  // namespace

std::uint32_t NearestFirstKey(float depth) {
  const auto bits = std::bit_cast<std::uint32_t>(depth + 0.0f);  // -0 + 0 is +0
  const std::uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
  return ~ascending;
}

// A radix sort, eleven bits at a time, whose three counts are taken in one pass.
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

Rasterizer::Rasterizer(const Camera& camera, const FloorKernels& kernels, bool exhaustive)
    : camera_(camera), kernels_(kernels), exhaustive_(exhaustive) {
  const auto pixels =
      static_cast<std::size_t>(camera.width) * static_cast<std::size_t>(camera.height);
  image_.width = camera.width;
  image_.height = camera.height;
  image_.rgba.assign(pixels * 4, 0);
  for (int side = kTileSide;; side *= 2) {
    FloorLevel level;
    level.side = side;
    level.across = (camera.width + side - 1) / side;
    level.down = (camera.height + side - 1) / side;
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

void Rasterizer::Draw(const Polygon& polygon, std::uint32_t number) {
  const int count = TrianglesOf(polygon).count;
  for (int i = 0; i < count; ++i) {
    ScreenTriangle placed;
    if (PlaceTriangle(polygon, i, camera_, placed)) {
      DrawTriangle(placed, TriangleNumber(number, i));
    }
  }
}

DrawnPicture Rasterizer::Take() {
  return {std::move(image_), std::move(painted_), levels_[0].across};
}

void Rasterizer::DrawTriangle(const ScreenTriangle& placed, std::uint32_t number) {
  const std::array<ScreenCorner, 3>& s = placed.s;
  TriangleShape t;
  t.s = s;
  t.area = placed.area;
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
  // The blocks of the top level, four at a time; each block's test reads only its own floor,
  // so all four are tested before any is drawn in.
  const int top = static_cast<int>(levels_.size()) - 1;
  const FloorLevel& level = levels_[top];
  for (int by = t.y0 / level.side; by <= t.y1 / level.side; ++by) {
    for (int bx = t.x0 / level.side; bx <= t.x1 / level.side; bx += 4) {
      const int shows = kernels_.may_show(t, level, RowFrom(t, level, bx, by));
      for (int k = 0; k < 4; ++k) {
        if ((shows >> k & 1) != 0) Descend(t, top, bx + k, by);
      }
    }
  }
}

// Draws the triangle within block (bx, by) of `level`, where MayShow found that it may show.
// True when the block's floor was raised: a tile's from its pixels, a block's joined anew from
// its quarters' when one of theirs was.
bool Rasterizer::Descend(const TriangleShape& t, int level, int bx, int by) {
  FloorLevel& l = levels_[level];
  const std::size_t block = l.Index(bx, by);
  if (level == 0) {
    const Rect r = BlockRect(t, kTileSide, bx, by);
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
  const FloorLevel& quarters = levels_[level - 1];
  const int shows = kernels_.may_show(t, quarters, QuartersOf(t, quarters, bx, by));
  bool raised = false;
  for (int k = 0; k < 4; ++k) {
    if ((shows >> k & 1) != 0)
      raised = Descend(t, level - 1, 2 * bx + (k & 1), 2 * by + k / 2) || raised;
  }
  if (raised) l.floor[block] = JoinFloors(quarters, bx, by, image_.width, image_.height);
  return raised;
}

void Rasterizer::UpdateTile(int tx, int ty, std::size_t tile) {
  FloorLevel& tiles = levels_[0];
  tiles.changed[tile] = 0;
  const int x_begin = tx * kTileSide, columns = std::min(image_.width - x_begin, kTileSide);
  const int y_begin = ty * kTileSide, rows = std::min(image_.height - y_begin, kTileSide);
  tiles.floor[tile] = FitTile(kernels_, TileRow(tile, 0), x_begin, y_begin, columns, rows);
}

// Draws the triangle's pixels within [x0, x1] x [y0, y1] of tile `tile`, whose floor is
// `floor`; true when any was drawn.
bool Rasterizer::Fill(const TriangleShape& t, const Floor& floor, std::size_t tile, int x0, int x1,
                      int y0, int y1) {
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
    // The weights are the edge functions without their bias, as shading works them out.
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

}  // namespace durvane::render::detail
