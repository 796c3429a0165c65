// Where a model's polygons lie in PRJ bytes, and which bitmap each polygon names. The only
// part of the renderer that knows the PRJ layout walk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "prj/prj_image.h"
#include "render/model.h"

namespace durvane::render {

// The polygon records of a whole PRJ file. Throws FormatError, as the layout walk does, when
// the file breaks the PRJ layout.
PolygonRecords FindPolygonRecords(std::span<const std::byte> prj_file);

// The polygon records of a PRJ file a conversion built in memory.
PolygonRecords FindPolygonRecords(const prj::PrjImage& image);

// Per polygon, the index of the bitmap its FF02 record names first; the names in order of
// first use.
struct BitmapNames {
  std::vector<std::uint32_t> of_polygon;
  std::vector<std::string> names;
};
BitmapNames ReadBitmapNames(const PolygonRecords& records);

}  // namespace durvane::render
