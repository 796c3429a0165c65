// Looking up a polygon's four corners in a row table (vertices or pairs), with the checks
// that turn a bad index into a message naming the polygon row.
#pragma once

#include <array>
#include <cstdint>

#include "opt/polygon_walk.h"
#include "opt/row_table.h"

namespace durvane::prj {

// The four rows of `table` that the corner indices at `row` name; a fourth index of -1 takes
// the first corner's row again. Throws FormatError when no table has been met yet or an index
// lies outside it. `what` is "vertex" or "pair".
std::array<const std::byte*, 4> CornerRows(const opt::OptImage& image, const opt::RowTable& table,
                                           std::uint32_t row_bytes,
                                           const opt::PolygonListNode& node, std::int32_t r,
                                           std::uint32_t indices_row_offset, const char* what);

}  // namespace durvane::prj
