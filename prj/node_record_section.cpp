#include "prj/node_record_section.h"

#include <cstring>
#include <limits>

#include "core/error.h"
#include "opt/polygon_walk.h"
#include "opt/walk_budget.h"
#include "prj/prj_layout.h"

namespace durvane::prj {

const NodeRecordSectionParams kSectionFF03{"FF03", kTagFF03, opt::kNodeType22, 24, 4, true};
const NodeRecordSectionParams kSectionFF04{"FF04", kTagFF04, opt::kNodeType25, 24, 18, false};
const NodeRecordSectionParams kSectionFF05{"FF05", kTagFF05, opt::kNodeType23, 24, 12, false};
const NodeRecordSectionParams kSectionFF08{"FF08", kTagFF08, opt::kNodeType28, 28, 17, true};

std::int32_t WriteNodeRecordSection(const opt::OptImage& image,
                                    const NodeRecordSectionParams& params, ByteSink& out,
                                    std::vector<std::string>& warnings) {
  out.Long(params.tag);
  const std::uint64_t count_at = out.size();
  out.Long(params.counts_records ? 0 : image.NodeCount());

  const std::uint32_t value_bytes = 4 * params.value_count;
  const std::string values_what = std::string("the values for section ") + params.name;
  opt::WalkBudget budget(image);
  std::int64_t records = 0;
  const std::int64_t node_count = image.NodeCount();
  for (std::int64_t i = 1; i <= node_count; ++i) {
    try {
      const std::int32_t n = image.TopLevelEntry(static_cast<std::int32_t>(i));
      const std::int64_t children = image.ChildCount(n);
      opt::RequireChildList(image, n, children);
      budget.Spend(children);
      for (std::int64_t j = 1; j <= children; ++j) {
        const std::int32_t k = image.InPlaceChild(n, static_cast<std::int32_t>(j));
        if (k == 0 || image.NodeType(k) != params.node_type) continue;
        if (++records > std::numeric_limits<std::int32_t>::max()) {
          throw Error(std::string("section ") + params.name + " would hold more records than " +
                      "its count field can hold");
        }
        const auto values = image.NodeBytes(k, params.first_offset, value_bytes, values_what);
        std::byte* dst = out.Extend(4 + value_bytes);
        StoreI32(dst, static_cast<std::int32_t>(i - 1));
        std::memcpy(dst + 4, values.data(), value_bytes);
      }
    } catch (...) {
      RethrowWithContext("top-level entry " + std::to_string(i));
    }
  }

  if (params.counts_records) {
    out.PatchLong(count_at, static_cast<std::int32_t>(records));
  } else if (records != image.NodeCount()) {
    warnings.push_back(std::string("section ") + params.name + " holds " + std::to_string(records) +
                       " record(s) but its count field is NodeCount " +
                       std::to_string(image.NodeCount()) +
                       ": the PRJ file will not merge correctly");
  }
  return static_cast<std::int32_t>(records);
}

}  // namespace durvane::prj
