#include "prj/corner_tables.h"

#include <string>

#include "core/error.h"

namespace durvane::prj {
namespace {

[[noreturn]] void ThrowBadCorner(const opt::OptImage& image, const opt::RowTable& table,
                                 const opt::PolygonListNode& node, std::int32_t r, int corner,
                                 std::int32_t value, std::uint32_t indices_row_offset,
                                 const char* what) {
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

}  // namespace

std::array<const std::byte*, 4> CornerRows(const opt::OptImage& image, const opt::RowTable& table,
                                           std::uint32_t row_bytes,
                                           const opt::PolygonListNode& node, std::int32_t r,
                                           std::uint32_t indices_row_offset, const char* what) {
  const std::byte* indices = node.Row(r) + indices_row_offset;
  std::array<const std::byte*, 4> rows{};
  for (int c = 0; c < 4; ++c) {
    std::int32_t index = LoadI32(indices + 4 * c);
    if (c == 3 && index == opt::kNoFourthCorner) {
      rows[3] = rows[0];
      break;
    }
    if (!table.loaded || index < 0 || index >= table.count) {
      ThrowBadCorner(image, table, node, r, c, index, indices_row_offset, what);
    }
    rows[c] = table.Row(index, row_bytes);
  }
  return rows;
}

}  // namespace durvane::prj
