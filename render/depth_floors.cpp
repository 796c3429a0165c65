#include "render/detail/depth_floors.h"

#include <cmath>

namespace durvane::render::detail {
namespace {

int MayShowPortably(const TriangleShape& t, const FloorLevel& level, const FourBlocks& blocks) {
  int mask = 0;
  for (int k = 0; k < 4; ++k) {
    if ((blocks.tested >> k & 1) != 0 && MayShow(t, level, blocks.x[k], blocks.y[k])) {
      mask |= 1 << k;
    }
  }
  return mask;
}

// kColumns, when not 0, is `columns` known in advance: a whole row of a tile is a fixed number
// of columns, which the compiler turns into vector instructions.
template <int kColumns>
void SumColumns(const float* depths, int runtime_columns, int rows, ColumnSums& sums) {
  const int columns = kColumns != 0 ? kColumns : runtime_columns;
  auto& [sum, weighted, least, greatest] = sums;
  least.fill(std::numeric_limits<float>::infinity());
  greatest.fill(-std::numeric_limits<float>::infinity());
  const float middle_row = 0.5f * static_cast<float>(rows - 1);
  for (int r = 0; r < rows; ++r) {
    const float* row = depths + static_cast<std::size_t>(r) * kTileSide;
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

template <int kColumns>
double LowestOver(const float* depths, int x_begin, int y_begin, int runtime_columns, int rows,
                  double dx, double dy) {
  const int columns = kColumns != 0 ? kColumns : runtime_columns;
  std::array<double, kTileSide> run{}, under;
  for (int c = 0; c < columns; ++c) run[c] = dx * (x_begin + c);
  under.fill(kInfinity);
  for (int r = 0; r < rows; ++r) {
    const float* row = depths + static_cast<std::size_t>(r) * kTileSide;
    const double rise = dy * (y_begin + r);
    for (int c = 0; c < columns; ++c) {
      const double d = row[c] - run[c] - rise;
      under[c] = d < under[c] ? d : under[c];
    }
  }
  return *std::min_element(under.begin(), under.begin() + columns);
}

void SumWholeTilePortably(const float* depths, ColumnSums& sums) {
  SumColumns<kTileSide>(depths, kTileSide, kTileSide, sums);
}

double LowestOverWholeTilePortably(const float* depths, int x_begin, int y_begin, double dx,
                                   double dy) {
  return LowestOver<kTileSide>(depths, x_begin, y_begin, kTileSide, kTileSide, dx, dy);
}

constexpr FloorKernels kPortable{"portable", MayShowPortably, SumWholeTilePortably,
                                 LowestOverWholeTilePortably};

// FitTile for a tile of known or unknown width (kColumns 0).
template <int kColumns>
Floor FitTileOf(const FloorKernels& kernels, const float* depths, int x_begin, int y_begin,
                int runtime_columns, int rows) {
  const int columns = kColumns != 0 ? kColumns : runtime_columns;
  // Column by column, so that each row is taken in at once. Single precision is ample for a
  // slope: any slope gives a true floor once lowered under every depth.
  constexpr float kFloatInfinity = std::numeric_limits<float>::infinity();
  const bool whole = kColumns == kTileSide && rows == kTileSide;
  ColumnSums sums;
  if (whole) {
    kernels.sum_whole_tile(depths, sums);
  } else {
    SumColumns<kColumns>(depths, columns, rows, sums);
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
  f.origin = whole ? kernels.lowest_over_whole_tile(depths, x_begin, y_begin, f.dx, f.dy)
                   : LowestOver<kColumns>(depths, x_begin, y_begin, columns, rows, f.dx, f.dy);
  const double size = std::max(std::abs(lowest), std::abs(highest));
  f.origin -= kFloorSlack *
              (1 + size + std::abs(f.dx) * (x_begin + columns) + std::abs(f.dy) * (y_begin + rows));
  return f;
}

}  // namespace

const FloorKernels& PortableFloorKernels() {
  return kPortable;
}

const FloorKernels& ChooseFloorKernels(bool vectors) {
#ifdef DURVANE_VECTOR_PATHS
  if (vectors) {
    if (const FloorKernels* avx2 = Avx2FloorKernels()) return *avx2;
  }
#else
  (void)vectors;
#endif
  return kPortable;
}

Floor FitTile(const FloorKernels& kernels, const float* depths, int x_begin, int y_begin,
              int columns, int rows) {
  // Only tiles at the picture's right edge have fewer columns than kTileSide.
  return columns == kTileSide
             ? FitTileOf<kTileSide>(kernels, depths, x_begin, y_begin, columns, rows)
             : FitTileOf<0>(kernels, depths, x_begin, y_begin, columns, rows);
}

Floor JoinFloors(const FloorLevel& below, int bx, int by, int width, int height) {
  const int side = below.side;
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
      const int left = x * side, right = std::min(width, left + side) - 1;
      const int top = y * side, bottom = std::min(height, top + side) - 1;
      const double lowest = f.origin + ex * (ex > 0 ? left : right) + ey * (ey > 0 ? top : bottom);
      joined.origin = std::min(joined.origin, lowest);
      size = std::max(size, std::abs(f.origin) + std::abs(f.dx) * right + std::abs(f.dy) * bottom);
    }
  }
  joined.origin -= kFloorSlack * (1 + size);
  return joined;
}

}  // namespace durvane::render::detail
