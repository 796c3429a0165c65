// A table of fixed-size rows read from a vertex list or pair list node. The rows are not
// copied: the table points into the OPT file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opt/opt_image.h"

namespace durvane::opt {

struct RowTable {
  const std::byte* rows = nullptr;
  std::int32_t count = 0;
  bool loaded = false;  // false until a list node has been met in this walk

  const std::byte* Row(std::int32_t r, std::uint32_t row_bytes) const {
    return rows + static_cast<std::size_t>(r) * row_bytes;
  }
};

// Loads the DataCount rows of `row_bytes` bytes stored from node offset 24 of the node at
// address. A DataCount of 0 or less gives an empty table. Throws FormatError when the rows
// lie outside the file.
RowTable LoadRowTable(const OptImage& image, std::int32_t address, std::uint32_t row_bytes,
                      const char* what);

}  // namespace durvane::opt
