// Looking up a polygon's four corners in a row table (vertices or pairs), with the checks
// that turn a bad index into a message naming the polygon row.
#pragma once

#include <array>
#include <cstdint>

#include "core/little_endian.h"
#include "opt/polygon_walk.h"
#include "opt/row_table.h"

namespace durvane::prj {

// The four rows of `table` that the corner indices at `row` name; a fourth index of -1 takes
// the first corner's row again. Throws FormatError when no table has been met yet or an index
// lies outside it. `what` is "vertex" or "pair".
// Runs once per corner of every polygon, so it is inline; the failure is out of line.
inline std::array<const std::byte*, 4> CornerRows(const opt::OptImage& image,
                                                  const opt::RowTable& table,
                                                  std::uint32_t row_bytes,
                                                  const opt::PolygonListNode& node, std::int32_t r,
                                                  std::uint32_t indices_row_offset,
                                                  const char* what);

// Throws the FormatError for corner `corner` (0-based) of polygon row r, whose index is value.
[[noreturn]] void ThrowBadCorner(const opt::OptImage& image, const opt::RowTable& table,
                                 const opt::PolygonListNode& node, std::int32_t r, int corner,
                                 std::int32_t value, std::uint32_t indices_row_offset,
                                 const char* what);

inline std::array<const std::byte*, 4> CornerRows(const opt::OptImage& image,
                                                  const opt::RowTable& table,
                                                  std::uint32_t row_bytes,
                                                  const opt::PolygonListNode& node, std::int32_t r,
                                                  std::uint32_t indices_row_offset,
                                                  const char* what) {
  const std::byte* indices = node.Row(r) + indices_row_offset;
  std::array<const std::byte*, 4> rows{};
  for (int c = 0; c < 4; ++c) {
    const std::int32_t index = LoadI32(indices + 4 * c);
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
