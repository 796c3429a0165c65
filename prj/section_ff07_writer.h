// Section FF07: per polygon, the nine values of its entries in the two trailing tables of its
// polygon list node.
#pragma once

#include <cstdint>

#include "core/byte_sink.h"
#include "opt/polygon_walk.h"

namespace durvane::prj {

// A polygon walk visitor. Appends the tag and a count field of 0 on construction; Finish
// writes the polygon count over the count field.
class SectionFF07Writer {
 public:
  explicit SectionFF07Writer(ByteSink& out);

  void TopLevelChild(std::int32_t, std::int32_t, std::int32_t) {}
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t index, const opt::PolygonListNode& node);
  void Finish(std::int32_t polygon_count);

 private:
  ByteSink& out_;
  std::uint64_t count_at_;
};

}  // namespace durvane::prj
