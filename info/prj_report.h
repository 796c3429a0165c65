// What the merge sees in a PRJ file, for `durvane info`: every block with its offset, tag,
// count field, records and range of top-level indices, and whether the file is valid merge
// input. Built on the merge's own layout walk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/input_file.h"

namespace durvane::info {

struct PrjBlockSummary {
  std::string name;       // "leading block", "section FF01", ...
  std::int32_t tag = 0;   // 0 for the leading block
  bool optional = false;  // FF03 and FF08 may be absent
  bool present = false;
  bool complete = false;  // all records walked
  std::uint64_t offset = 0;
  std::int32_t count_field = 0;
  std::int64_t records = 0;
  std::uint64_t record_bytes = 0;  // all records together
  std::int32_t min_index = 0;
  std::int32_t max_index = 0;
};

struct PrjReport {
  std::uint64_t file_bytes = 0;
  std::vector<PrjBlockSummary> blocks;  // in file order, up to where the walk stopped
  std::vector<std::string> warnings;
  std::optional<std::string> error;  // why the file is not valid merge input

  bool valid() const { return !error.has_value(); }
};

// Never throws for a bad file: what breaks the layout is reported in `error`.
PrjReport DescribePrj(std::span<const std::byte> bytes);
// The same report of a file read through a small window as the walk goes, as the merge reads
// it: the file is never held whole, and one whose first blocks break the layout is refused
// having read little more than them. Throws Error when the file cannot be read or another
// program changes it meanwhile.
PrjReport DescribePrj(const InputFile& file);

std::string PrjReportText(const std::string& file, const PrjReport& report);
std::string PrjReportJson(const std::string& file, const PrjReport& report);

}  // namespace durvane::info
