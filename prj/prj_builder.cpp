#include "prj/prj_builder.h"

#include <limits>

#include "core/error.h"
#include "opt/polygon_walk.h"
#include "prj/corner_block_writer.h"
#include "prj/node_record_section.h"
#include "prj/prj_layout.h"
#include "prj/section_ff02_writer.h"
#include "prj/section_ff07_writer.h"

namespace durvane::prj {
namespace {

// A first, cheap walk that only adds up the polygon rows: it fixes the polygon count, refuses
// counts beyond the 32-bit signed range before any record is built, and sizes the output buffers.
struct PolygonCounter {
  std::int64_t rows = 0;
  void TopLevelChild(std::int32_t, std::int32_t, std::int32_t) {}
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t, const opt::PolygonListNode& node) {
    rows += node.rows;
    if (rows > std::numeric_limits<std::int32_t>::max()) {
      throw Error("the model has more than " +
                  std::to_string(std::numeric_limits<std::int32_t>::max()) +
                  " polygons, more than a PRJ file can hold");
    }
  }
};

}  // namespace

std::uint64_t MaxPrjBytes(std::uint64_t input_bytes) {
  constexpr std::uint64_t kFloor = std::uint64_t{1} << 30;
  constexpr std::uint64_t kPerInputByte = 64;
  return std::max(kFloor, kPerInputByte * input_bytes);
}

PrjImage BuildPrj(const opt::OptImage& image, std::vector<std::string>& warnings) {
  PolygonCounter counter;
  opt::WalkPolygons(image, counter);
  const auto polygons = static_cast<std::uint64_t>(counter.rows);
  const std::uint64_t polygon_bytes = polygons * (kPolygonRecordBytes + kFF01RecordBytes +
                                                  kFF02FourTextureRecordBytes + kFF07RecordBytes);
  if (polygon_bytes > MaxPrjBytes(image.view().size())) {
    throw Error("the model's " + std::to_string(polygons) +
                " polygons would make a PRJ file of up to " + std::to_string(polygon_bytes) +
                " bytes, far more than an OPT file of " + std::to_string(image.view().size()) +
                " bytes can describe; refusing it");
  }

  PrjImage prj;
  prj.polygon_count = static_cast<std::int32_t>(counter.rows);
  prj.leading.Reserve(4 + polygons * kPolygonRecordBytes);
  prj.ff01.Reserve(kSectionHeaderBytes + polygons * kFF01RecordBytes);
  prj.ff02.Reserve(kSectionHeaderBytes + polygons * kFF02FourTextureRecordBytes);
  prj.ff07.Reserve(kSectionHeaderBytes + polygons * kFF07RecordBytes);

  // One walk builds all four polygon blocks, so record p of each describes the same polygon.
  CornerBlockWriter leading(image, kLeadingBlock, prj.leading);
  CornerBlockWriter ff01(image, kSectionFF01, prj.ff01);
  SectionFF02Writer ff02(image, prj.ff02);
  SectionFF07Writer ff07(prj.ff07);
  opt::WalkPolygons(image, leading, ff01, ff02, ff07);
  leading.Finish(prj.polygon_count);
  ff01.Finish(prj.polygon_count);
  ff02.Finish(prj.polygon_count, warnings);
  ff07.Finish(prj.polygon_count);

  prj.ff03_count = WriteNodeRecordSection(image, kSectionFF03, prj.ff03, warnings);
  WriteNodeRecordSection(image, kSectionFF04, prj.ff04, warnings);
  WriteNodeRecordSection(image, kSectionFF05, prj.ff05, warnings);
  prj.ff08_count = WriteNodeRecordSection(image, kSectionFF08, prj.ff08, warnings);
  return prj;
}

}  // namespace durvane::prj
