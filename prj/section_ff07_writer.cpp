#include "prj/section_ff07_writer.h"

#include <cstring>

#include "prj/prj_layout.h"

namespace durvane::prj {

SectionFF07Writer::SectionFF07Writer(ByteSink& out) : out_(out) {
  out_.Long(kTagFF07);
  count_at_ = out_.size();
  out_.Long(0);
}

void SectionFF07Writer::PolygonRows(std::int32_t index, const opt::PolygonListNode& node) {
  std::byte* dst = out_.Extend(static_cast<std::size_t>(node.rows) * kFF07RecordBytes);
  for (std::int32_t r = 0; r < node.rows; ++r) {
    StoreI32(dst, index);
    std::memcpy(dst + 4, node.FirstTrailing(r), opt::kFirstTrailingEntryBytes);
    std::memcpy(dst + 16, node.SecondTrailing(r), opt::kSecondTrailingEntryBytes);
    dst += kFF07RecordBytes;
  }
}

void SectionFF07Writer::Finish(std::int32_t polygon_count) {
  out_.PatchLong(count_at_, polygon_count);
}

}  // namespace durvane::prj
