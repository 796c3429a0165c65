// What the converter sees in an OPT file, for `durvane info`: the header, each top-level
// entry's children, what the polygon walk and the texture scan meet, the counts the PRJ
// sections will get, and every warning and the error a conversion would give. Built from the
// conversion's own walks, so it explains exactly what a conversion does.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "opt/texture_bitmap.h"

namespace durvane::info {

struct ListNodeSummary {
  std::int32_t address = 0;
  std::int32_t rows = 0;  // DataCount
};

struct TopLevelSummary {
  std::int32_t entry = 0;  // 1-based position in the top-level table
  std::int32_t address = 0;
  std::int32_t child_count = 0;
  std::map<std::int32_t, std::int32_t> children_by_type;  // non-zero children, by NodeType
  std::int32_t empty_slots = 0;
  std::int64_t polygons = 0;                  // polygon rows the polygon walk meets
  std::vector<ListNodeSummary> vertex_lists;  // in walk order
  std::vector<ListNodeSummary> pair_lists;
};

struct TextureSummary {
  std::string name;  // printable, unprintable bytes escaped
  opt::TextureLayout layout = opt::TextureLayout::kA;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int64_t pixel_count = 0;
  bool safe_file_name = true;
};

// Counts the PRJ file's sections get (records, not count fields, for FF04 and FF05).
struct PrjCounts {
  std::int32_t polygon_count = 0;
  std::int32_t ff03_count = 0;
  std::int32_t ff04_records = 0;
  std::int32_t ff05_records = 0;
  std::int32_t ff08_count = 0;
  std::uint64_t prj_bytes = 0;
};

struct OptReport {
  std::uint64_t file_bytes = 0;
  bool header_read = false;
  std::int32_t opt_base = 0;
  std::int32_t node_count = 0;
  std::vector<TopLevelSummary> entries;  // up to the first error, if any
  std::vector<TextureSummary> textures;  // in scan order
  std::optional<PrjCounts> counts;       // when the file converts
  std::vector<std::string> warnings;
  std::optional<std::string> error;  // the conversion's error, with its offset

  bool valid() const { return !error.has_value(); }
};

// Never throws for a bad file: what cannot be read is reported in `error`.
OptReport DescribeOpt(std::span<const std::byte> bytes);

}  // namespace durvane::info
