// The polygons an export writes: those the renderer draws, in file order, so that an exported
// model holds what a picture of it shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "render/model.h"
#include "render/polygon_triangles.h"

namespace durvane::exporting {

// An export given up because its caller's cancel check said so.
class ExportCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the export was cancelled"; }
};

// Asked now and then during an export; when it returns true the export throws ExportCancelled.
using CancelCheck = std::function<bool()>;

// Calls `visit(polygon, index)` for every polygon of `model` that the renderer draws, in file
// order, and returns how many it left out. Asks `cancelled` (when set) every few thousand polygons.
template <typename Visit>
std::size_t ForEachDrawnPolygon(const render::Model& model, const CancelCheck& cancelled,
                                Visit&& visit) {
  std::size_t left_out = 0;
  for (std::size_t i = 0; i < model.size(); ++i) {
    if (i % 4096 == 0 && cancelled && cancelled()) throw ExportCancelled();
    const render::Polygon polygon = model[i];
    if (!render::Drawable(polygon)) {
      ++left_out;
      continue;
    }
    visit(polygon, i);
  }
  return left_out;
}

// The warnings of an export of `model` that left out `left_out` polygons: the model's own
// (missing or unusable bitmaps), then the polygons left out, as a picture of it reports them.
std::vector<std::string> ExportWarnings(const render::Model& model, std::size_t left_out);

}  // namespace durvane::exporting
