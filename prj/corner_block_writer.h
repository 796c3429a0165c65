// The leading block and section FF01 share one shape: per polygon, the top-level index and
// the polygon's four corners looked up by index in the table of the list node met most
// recently (vertex list nodes for the leading block, pair list nodes for FF01).
#pragma once

#include <cstdint>
#include <optional>

#include "core/byte_sink.h"
#include "opt/polygon_walk.h"
#include "opt/row_table.h"

namespace durvane::prj {

struct CornerBlockParams {
  std::optional<std::int32_t> tag;   // none for the untagged leading block
  std::int32_t list_node_type;       // the node type that loads the table
  std::uint32_t row_bytes;           // bytes per table row
  std::uint32_t indices_row_offset;  // where the four corner indices lie in a polygon row
  const char* what;                  // "vertex" or "pair", for messages
};

// Leading block: corner points from VertexTable (rows of 3 Singles).
extern const CornerBlockParams kLeadingBlock;
// Section FF01: corner pairs from PairTable (rows of 2 Singles).
extern const CornerBlockParams kSectionFF01;

// A polygon walk visitor. Appends the tag (if any) and a count field of 0 on construction;
// Finish writes the polygon count over the count field.
class CornerBlockWriter {
 public:
  CornerBlockWriter(const opt::OptImage& image, const CornerBlockParams& params, ByteSink& out);

  void TopLevelChild(std::int32_t index, std::int32_t address, std::int32_t type);
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t index, const opt::PolygonListNode& node);
  void Finish(std::int32_t polygon_count);

 private:
  const opt::OptImage& image_;
  const CornerBlockParams& params_;
  ByteSink& out_;
  std::uint64_t count_at_;
  opt::RowTable table_;  // VertexTable or PairTable; starts empty in every conversion
};

}  // namespace durvane::prj
