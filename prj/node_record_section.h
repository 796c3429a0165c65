// Sections FF03, FF04, FF05 and FF08: one record per direct child of a top-level node that
// has the section's node type, holding the top-level index and a run of the node's values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "opt/opt_image.h"

namespace durvane::prj {

struct NodeRecordSectionParams {
  const char* name;  // "FF03", for messages
  std::int32_t tag;
  std::int32_t node_type;      // the child NodeType selected
  std::uint32_t first_offset;  // node offset of the first value copied
  std::uint32_t value_count;   // 4-byte values copied
  bool counts_records;         // count field: the number of records, or else NodeCount
};

extern const NodeRecordSectionParams kSectionFF03;
extern const NodeRecordSectionParams kSectionFF04;
extern const NodeRecordSectionParams kSectionFF05;
extern const NodeRecordSectionParams kSectionFF08;

// Appends the whole section to `out` and returns the number of records written. A section
// whose count field is NodeCount gets a warning when its records are not NodeCount many,
// since such a file will not merge correctly.
std::int32_t WriteNodeRecordSection(const opt::OptImage& image,
                                    const NodeRecordSectionParams& params, ByteSink& out,
                                    std::vector<std::string>& warnings);

}  // namespace durvane::prj
