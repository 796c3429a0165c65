// The depth floors' kernels in AVX2, built only with DURVANE_VECTOR_PATHS. Each function is
// compiled for AVX2 and FMA alone, so that the rest of the program runs on any x86-64
// processor; Avx2FloorKernels offers them only where the processor has both.
#include "render/detail/depth_floors.h"

// Not on Windows, where GCC does not align the stack for the 32-byte values it would spill.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define DURVANE_RENDER_AVX2 1
#include <immintrin.h>
#endif

namespace durvane::render::detail {

#ifdef DURVANE_RENDER_AVX2
namespace {

// Per lane, the greatest and least of v * low and v * high: a slope's extremes over a range.
[[gnu::target("avx2,fma")]] inline __m256d Greatest(double v, __m256d low, __m256d high) {
  const __m256d slope = _mm256_set1_pd(v);
  return _mm256_max_pd(_mm256_mul_pd(slope, low), _mm256_mul_pd(slope, high));
}
[[gnu::target("avx2,fma")]] inline __m256d Least(__m256d v, __m256d low, __m256d high) {
  return _mm256_min_pd(_mm256_mul_pd(v, low), _mm256_mul_pd(v, high));
}

// MayShow for the four blocks, one per lane. Every value the edge tests take is a whole number
// well under 2^53, exact in double precision; the floor tests are those of Hidden, for a
// triangle whose depth plane is finite, so that no lane meets a NaN, whose minimum and
// maximum differ between AVX and the standard library. Other triangles take the portable test.
[[gnu::target("avx2,fma")]] int MayShowAvx2(const TriangleShape& t, const FloorLevel& l,
                                            const FourBlocks& blocks) {
  if (!t.finite) return PortableFloorKernels().may_show(t, l, blocks);
  const std::array<int, 4>& x = blocks.x;
  const std::array<int, 4>& y = blocks.y;
  const __m256d block_x = _mm256_setr_pd(x[0], x[1], x[2], x[3]);
  const __m256d block_y = _mm256_setr_pd(y[0], y[1], y[2], y[3]);
  const __m256d size = _mm256_set1_pd(l.side);
  const __m256d last = _mm256_set1_pd(l.side - 1);
  const __m256d left = _mm256_max_pd(_mm256_set1_pd(t.x0), _mm256_mul_pd(block_x, size));
  const __m256d right = _mm256_min_pd(_mm256_set1_pd(t.x1), _mm256_fmadd_pd(block_x, size, last));
  const __m256d top = _mm256_max_pd(_mm256_set1_pd(t.y0), _mm256_mul_pd(block_y, size));
  const __m256d bottom = _mm256_min_pd(_mm256_set1_pd(t.y1), _mm256_fmadd_pd(block_y, size, last));
  __m256d shows =
      _mm256_and_pd(_mm256_cmp_pd(left, right, _CMP_LE_OQ), _mm256_cmp_pd(top, bottom, _CMP_LE_OQ));
  const __m256d zero = _mm256_setzero_pd();
  for (int e = 0; e < 3; ++e) {
    const __m256d edge =
        _mm256_add_pd(_mm256_add_pd(_mm256_set1_pd(static_cast<double>(t.origin[e])),
                                    Greatest(static_cast<double>(t.dx[e]), left, right)),
                      Greatest(static_cast<double>(t.dy[e]), top, bottom));
    shows = _mm256_and_pd(shows, _mm256_cmp_pd(edge, zero, _CMP_GE_OQ));
  }
  // The four floors, transposed from one per register to one field per register: each loads
  // as origin, dx, dy, lowest (see the static_assert on Floor).
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
  __m256d over_triangle = _mm256_set1_pd(-kInfinity);
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
  return _mm256_movemask_pd(_mm256_andnot_pd(hidden, shows)) & blocks.tested;
}

// The tile's 16 columns in two registers. No depth is a NaN (a NaN is never nearer), so the
// vector minimum and maximum agree with the portable ones.
[[gnu::target("avx2,fma")]] void SumWholeTileAvx2(const float* depths, ColumnSums& sums) {
  static_assert(kTileSide == 16);
  __m256 sum[2] = {_mm256_setzero_ps(), _mm256_setzero_ps()};
  __m256 weighted[2] = {sum[0], sum[0]};
  __m256 least[2] = {_mm256_set1_ps(std::numeric_limits<float>::infinity()),
                     _mm256_set1_ps(std::numeric_limits<float>::infinity())};
  __m256 greatest[2] = {_mm256_set1_ps(-std::numeric_limits<float>::infinity()),
                        _mm256_set1_ps(-std::numeric_limits<float>::infinity())};
  for (int r = 0; r < kTileSide; ++r) {
    const float* row = depths + static_cast<std::size_t>(r) * kTileSide;
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

// The tile's 16 columns in four registers of doubles.
[[gnu::target("avx2,fma")]] double LowestOverWholeTileAvx2(const float* depths, int x_begin,
                                                           int y_begin, double dx, double dy) {
  __m256d run[4], under[4];
  for (int q = 0; q < 4; ++q) {
    const __m256d x = _mm256_add_pd(_mm256_set1_pd(x_begin + 4 * q), _mm256_setr_pd(0, 1, 2, 3));
    run[q] = _mm256_mul_pd(_mm256_set1_pd(dx), x);
    under[q] = _mm256_set1_pd(kInfinity);
  }
  for (int r = 0; r < kTileSide; ++r) {
    const float* row = depths + static_cast<std::size_t>(r) * kTileSide;
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

constexpr FloorKernels kAvx2{"avx2", MayShowAvx2, SumWholeTileAvx2, LowestOverWholeTileAvx2};

}  // namespace

const FloorKernels* Avx2FloorKernels() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has_avx2 ? &kAvx2 : nullptr;
}

#else

const FloorKernels* Avx2FloorKernels() {
  return nullptr;
}

#endif

}  // namespace durvane::render::detail
