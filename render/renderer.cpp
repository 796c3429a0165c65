#include "render/renderer.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "core/error.h"
#include "render/detail/camera.h"
#include "render/detail/depth_floors.h"
#include "render/detail/rasterizer.h"
#include "render/detail/shading.h"
#include "render/polygon_triangles.h"
#include "render/renderer_testing.h"

namespace durvane::render {
namespace {

using namespace detail;

// How much of the drawing's shortcuts to take: all of them; all but the vector code; or none,
// every triangle drawn over every tile of its box.
enum class Shortcuts { kAll, kPortable, kNone };

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
    throw Error("the picture's width and height must be 1 to " + std::to_string(kMaxImageSide) +
                " pixels");
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
    throw Error("the model has too many polygons to draw");
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
    rendering.warnings.push_back(LeftOutWarning(left_out, model.size()));
  }
  if (rendering.polygons_drawn == 0) {
    rendering.warnings.push_back("the model has no polygon to draw: the picture is empty");
    rendering.image.width = options.width;
    rendering.image.height = options.height;
    rendering.image.rgba.assign(
        static_cast<std::size_t>(options.width) * static_cast<std::size_t>(options.height) * 4, 0);
    model.CheckSourceUnchanged();  // zeros read past a cut have no area
    return rendering;
  }

  const Camera camera = MakeCamera(options, low, high);
  Rasterizer rasterizer(camera, ChooseFloorKernels(shortcuts == Shortcuts::kAll),
                        shortcuts == Shortcuts::kNone);
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
  rendering.image = Shade(rasterizer.Take(), model, camera, options.flat,
                          [&order](std::uint32_t number) { return order[number].index; });
  model.CheckSourceUnchanged();
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

std::string LeftOutWarning(std::size_t left_out, std::size_t total) {
  return std::to_string(left_out) + " of " + std::to_string(total) +
         " polygon(s) left out: a corner with a non-finite value, or no area";
}

std::string_view RenderPath() {
  return ChooseFloorKernels(true).name;
}

}  // namespace durvane::render
