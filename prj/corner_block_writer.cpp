#include "prj/corner_block_writer.h"

#include <cstring>

#include "prj/corner_tables.h"
#include "prj/prj_layout.h"

namespace durvane::prj {
namespace {

// Writes one record per polygon row. Inlined at call sites that pass a constant row_bytes, so
// the corner copies become fixed-size moves rather than calls to memcpy.
[[gnu::always_inline]] inline void WriteRecords(const opt::OptImage& image,
                                                const opt::RowTable& table,
                                                const CornerBlockParams& params,
                                                std::uint32_t row_bytes, std::int32_t index,
                                                const opt::PolygonListNode& node, std::byte* dst) {
  const std::uint32_t record_bytes = 4 + 4 * row_bytes;
  for (std::int32_t r = 0; r < node.rows; ++r) {
    const auto corners =
        CornerRows(image, table, row_bytes, node, r, params.indices_row_offset, params.what);
    StoreI32(dst, index);
    for (std::uint32_t c = 0; c < 4; ++c) {
      std::memcpy(dst + 4 + row_bytes * c, corners[c], row_bytes);
    }
    dst += record_bytes;
  }
}

}  // namespace

const CornerBlockParams kLeadingBlock{std::nullopt, opt::kVertexListNode, opt::kVertexRowBytes,
                                      opt::kVertexIndicesRowOffset, "vertex"};
const CornerBlockParams kSectionFF01{kTagFF01, opt::kPairListNode, opt::kPairRowBytes,
                                     opt::kPairIndicesRowOffset, "pair"};

CornerBlockWriter::CornerBlockWriter(const opt::OptImage& image, const CornerBlockParams& params,
                                     ByteSink& out)
    : image_(image), params_(params), out_(out) {
  if (params_.tag) out_.Long(*params_.tag);
  count_at_ = out_.size();
  out_.Long(0);
}

void CornerBlockWriter::TopLevelChild(std::int32_t, std::int32_t address, std::int32_t type) {
  if (type == params_.list_node_type) {
    const std::string what = std::string("the ") + params_.what + " list";
    table_ = opt::LoadRowTable(image_, address, params_.row_bytes, what.c_str());
  }
}

void CornerBlockWriter::PolygonRows(std::int32_t index, const opt::PolygonListNode& node) {
  const std::uint32_t record_bytes = 4 + 4 * params_.row_bytes;
  std::byte* dst = out_.Extend(static_cast<std::size_t>(node.rows) * record_bytes);
  switch (params_.row_bytes) {
    case opt::kVertexRowBytes:
      WriteRecords(image_, table_, params_, opt::kVertexRowBytes, index, node, dst);
      break;
    case opt::kPairRowBytes:
      WriteRecords(image_, table_, params_, opt::kPairRowBytes, index, node, dst);
      break;
    default:
      WriteRecords(image_, table_, params_, params_.row_bytes, index, node, dst);
      break;
  }
}

void CornerBlockWriter::Finish(std::int32_t polygon_count) {
  out_.PatchLong(count_at_, polygon_count);
}

}  // namespace durvane::prj
