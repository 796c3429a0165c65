#include "opt/row_table.h"

#include <string>

namespace durvane::opt {

RowTable LoadRowTable(const OptImage& image, std::int32_t address, std::uint32_t row_bytes,
                      const char* what) {
  RowTable table;
  table.loaded = true;
  const std::int32_t n = image.DataCount(address);
  if (n <= 0) return table;
  const std::uint64_t bytes = static_cast<std::uint64_t>(n) * row_bytes;
  const std::uint64_t at = image.Offset(
      address, kPayloadOffset, bytes, std::string("the ") + std::to_string(n) + " rows of " + what);
  table.rows = image.view().bytes().data() + at;
  table.count = n;
  return table;
}

}  // namespace durvane::opt
