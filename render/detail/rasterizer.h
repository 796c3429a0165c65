// The rasteriser: the order polygons are drawn in, and triangles drawn into a depth buffer,
// each pixel left holding the number of the nearest triangle for shading to paint.
#pragma once

#include <cstdint>
#include <vector>

#include "core/large_blocks.h"
#include "render/detail/camera.h"
#include "render/detail/depth_floors.h"
#include "render/renderer.h"

namespace durvane::render::detail {

// A polygon to draw, and the key that puts it in drawing order; with its number of corners,
// so that drawing reads its points alone.
struct Entry {
  std::uint32_t key;
  std::uint32_t index : 31;
  std::uint32_t three_corners : 1;
};

// The depth's bits, turned so that nearer depths give smaller keys and equal depths (0 and -0
// too) equal keys.
std::uint32_t NearestFirstKey(float depth);

// Sorts by key, keeping the order of equal keys.
void SortByKey(LargeVector<Entry>& entries);

// The rasteriser's result: per pixel, in the place of its four colour bytes, the number of the
// triangle drawn there (0 for none); and per tile of kTileSide pixels square, whether any
// triangle was drawn in it.
struct DrawnPicture {
  Image image;
  std::vector<std::uint8_t> painted;
  int tiles_across = 0;
};

// The number a pixel holds for triangle i of the polygon drawn `number`th.
inline std::uint32_t TriangleNumber(std::uint32_t number, int i) {
  return 2 * number + static_cast<std::uint32_t>(i) + 1;
}

class Rasterizer {
 public:
  // `exhaustive`: every triangle drawn over every tile of its box, none turned away by the
  // floors.
  Rasterizer(const Camera& camera, const FloorKernels& kernels, bool exhaustive);

  // Draws the polygon, the `number`th drawn: a pixel drawn by its triangle i holds
  // TriangleNumber(number, i) while no nearer triangle is drawn over it.
  void Draw(const Polygon& polygon, std::uint32_t number);

  DrawnPicture Take();

 private:
  void DrawTriangle(const ScreenTriangle& placed, std::uint32_t number);
  bool Descend(const TriangleShape& t, int level, int bx, int by);
  void UpdateTile(int tx, int ty, std::size_t tile);
  bool Fill(const TriangleShape& t, const Floor& floor, std::size_t tile, int x0, int x1, int y0,
            int y1);
  float* TileRow(std::size_t tile, int row) {
    return depth_.data() + tile * kTilePixels + static_cast<std::size_t>(row) * kTileSide;
  }

  const Camera& camera_;
  const FloorKernels& kernels_;
  bool exhaustive_;
  Image image_;
  // The nearest depth drawn at each pixel, tile by tile: the kTilePixels of a tile in rows of
  // kTileSide, so that a tile's depths share few cache lines.
  LargeVector<float> depth_;
  std::vector<FloorLevel> levels_;
  std::vector<std::uint8_t> painted_;  // per tile: whether any triangle was drawn in it
};

}  // namespace durvane::render::detail
