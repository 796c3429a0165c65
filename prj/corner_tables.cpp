#include "prj/corner_tables.h"

#include <string>

#include "core/error.h"

namespace durvane::prj {

void ThrowBadCorner(const opt::OptImage& image, const opt::RowTable& table,
                    const opt::PolygonListNode& node, std::int32_t r, int corner,
                    std::int32_t value, std::uint32_t indices_row_offset, const char* what) {
  const std::uint64_t offset = image.Offset(
      node.address,
      opt::kPolygonRowsOffset + r * opt::kPolygonRowBytes + indices_row_offset + 4 * corner, 4,
      "corner index");
  std::string message = "polygon row " + std::to_string(r) + " of the polygon list " +
                        opt::DescribeNode(image, node.address) + ": ";
  if (!table.loaded) {
    message += std::string("the polygon comes before any ") + what + " list node";
  } else {
    message += std::string(what) + " index " + std::to_string(corner + 1) + " is " +
               std::to_string(value) + ", outside the " + what + " table of " +
               std::to_string(table.count) + " rows";
  }
  throw FormatError(offset, message);
}

}  // namespace durvane::prj
