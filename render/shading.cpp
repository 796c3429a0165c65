#include "render/detail/shading.h"

#include <cstring>
#include <vector>

namespace durvane::render::detail {
namespace {

std::uint8_t Channel(std::uint8_t channel, float light) {
  return static_cast<std::uint8_t>(static_cast<float>(channel) * light + 0.5f);
}

}  // namespace

float FaceLight(Vec normal, const Camera& camera) {
  const double facing = std::abs(Dot(normal, camera.light)) / std::sqrt(Dot(normal, normal));
  return static_cast<float>(kAmbient + (1 - kAmbient) * facing);
}

Image Shade(DrawnPicture drawn, const Model& model, const Camera& camera, bool flat,
            const std::function<std::size_t(std::uint32_t number)>& polygon_of) {
  Image& image = drawn.image;
  // What painting a triangle's pixels needs, worked out once for the triangles met lately:
  // the rows of a large model's picture mostly show the triangles of the row above, whose
  // records lie all over the file.
  struct Painted {
    std::uint32_t triangle = 0;  // none
    ScreenTriangle placed;
    float light = 0;
    const Bitmap* bitmap = nullptr;
    float inverse_area = 0;
  };
  constexpr std::uint32_t kRecent = 2048;
  std::vector<Painted> recent(kRecent);
  std::uint32_t current = 0;
  const Painted* painting = nullptr;
  for (int y = 0; y < image.height; ++y) {
    const std::size_t tile_row =
        static_cast<std::size_t>(y / kTileSide) * static_cast<std::size_t>(drawn.tiles_across);
    for (int x = 0; x < image.width; ++x) {
      if (x % kTileSide == 0 &&
          drawn.painted[tile_row + static_cast<std::size_t>(x / kTileSide)] == 0) {
        x += kTileSide - 1;
        continue;
      }
      std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
      std::uint32_t triangle;
      std::memcpy(&triangle, p, sizeof triangle);
      if (triangle == 0) continue;
      if (triangle != current) {
        current = triangle;
        Painted& entry = recent[triangle % kRecent];
        if (entry.triangle != triangle) {
          const Polygon polygon = model[polygon_of((triangle - 1) / 2)];
          const int i = static_cast<int>((triangle - 1) % 2);
          // Drawn, so it has an area.
          PlaceTriangle(polygon, i, camera, entry.placed);
          entry.light = FaceLight(FaceNormal(polygon, TrianglesOf(polygon).corners[i]), camera);
          entry.triangle = triangle;
          entry.bitmap = flat ? nullptr : model.bitmap(polygon.bitmap);
          entry.inverse_area = 1.0f / static_cast<float>(entry.placed.area);
        }
        painting = &entry;
      }
      const float light = painting->light;
      const Bitmap* bitmap = painting->bitmap;
      const float inverse_area = painting->inverse_area;
      // The weights as the rasteriser worked them out at this pixel.
      const std::array<ScreenCorner, 3>& s = painting->placed.s;
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
      p[0] = Channel(colour.r, light);
      p[1] = Channel(colour.g, light);
      p[2] = Channel(colour.b, light);
      p[3] = 255;
    }
  }
  return std::move(drawn.image);
}

}  // namespace durvane::render::detail
