#include "render/prj_records.h"

#include <string_view>
#include <unordered_map>

#include "core/byte_view.h"
#include "core/error.h"
#include "core/file_window.h"
#include "core/input_file.h"
#include "prj/prj_layout.h"
#include "prj/prj_layout_reader.h"

namespace durvane::render {
namespace {

using prj::PrjBlockKind;

std::span<const std::byte> Records(std::span<const std::byte> file, const prj::PrjBlock& block) {
  return file.subspan(block.records_offset, block.records_bytes());
}

// The records of a block built in memory: the block less its header of `header_bytes`,
// checked to hold `count` records of `record_bytes` (0: any length).
std::span<const std::byte> Records(std::span<const std::byte> block, std::size_t header_bytes,
                                   std::size_t count, std::size_t record_bytes, const char* what) {
  if (block.size() < header_bytes ||
      (record_bytes != 0 && (block.size() - header_bytes) / record_bytes != count)) {
    throw Error(std::string("the converted ") + what + " does not hold one record per polygon");
  }
  return block.subspan(header_bytes);
}

}  // namespace

PolygonRecords FindPolygonRecords(std::span<const std::byte> prj_file) {
  const prj::PrjLayout layout = prj::ReadPrjLayout(prj_file);
  PolygonRecords records;
  records.polygon_count = static_cast<std::size_t>(layout.polygon_count());
  records.corners = Records(prj_file, layout[PrjBlockKind::kLeading]);
  records.pairs = Records(prj_file, layout[PrjBlockKind::kFF01]);
  records.names = Records(prj_file, layout[PrjBlockKind::kFF02]);
  return records;
}

PolygonRecords FindPolygonRecords(const prj::PrjImage& image) {
  PolygonRecords records;
  records.polygon_count =
      image.polygon_count < 0 ? 0 : static_cast<std::size_t>(image.polygon_count);
  records.corners = Records(image.leading.bytes(), 4, records.polygon_count,
                            prj::kPolygonRecordBytes, "leading block");
  records.pairs = Records(image.ff01.bytes(), prj::kSectionHeaderBytes, records.polygon_count,
                          prj::kFF01RecordBytes, "section FF01");
  records.names =
      Records(image.ff02.bytes(), prj::kSectionHeaderBytes, records.polygon_count, 0, "FF02");
  return records;
}

namespace {

// The FF02 records of `count` polygons from `at` in `view` (ByteView or FileWindow).
template <typename View>
BitmapNames ReadNames(const View& view, std::uint64_t at, std::size_t count) {
  BitmapNames out;
  out.of_polygon.resize(count);
  std::unordered_map<std::string, std::uint32_t> index_of;
  // Neighbouring polygons mostly share a bitmap: compare with the last name before hashing.
  std::string name, last_name;
  std::uint32_t last_index = kNoBitmap;
  for (std::size_t p = 0; p < count; ++p) {
    const std::uint64_t length = prj::FF02RecordBytes(view, at);
    // Index, flag, then the first name's length byte and bytes, inside the record just walked.
    const std::uint8_t name_length = view.Byte(at + 5, "the length of string 1");
    name.clear();
    for (std::uint8_t i = 0; i < name_length; ++i) {
      name.push_back(static_cast<char>(view.Byte(at + 6 + i, "string 1")));
    }
    if (last_index == kNoBitmap || name != last_name) {
      auto [it, inserted] =
          index_of.try_emplace(name, static_cast<std::uint32_t>(out.names.size()));
      if (inserted) out.names.push_back(it->first);
      last_name = name;
      last_index = it->second;
    }
    out.of_polygon[p] = last_index;
    at += length;
  }
  return out;
}

}  // namespace

BitmapNames ReadBitmapNames(const PolygonRecords& records) {
  return ReadNames(ByteView(records.names), 0, records.polygon_count);
}

PrjFileRecords ReadPrjFileRecords(const std::filesystem::path& path) {
  const InputFile file(path);
  const prj::PrjLayout layout = prj::ReadPrjLayout(FileWindow(file));
  const prj::PrjBlock& leading = layout[PrjBlockKind::kLeading];
  const prj::PrjBlock& ff01 = layout[PrjBlockKind::kFF01];
  PrjFileRecords out;
  const std::size_t corner_bytes = leading.records_bytes();
  const std::size_t pair_bytes = ff01.records_bytes();
  out.bytes = ByteBuffer(corner_bytes + pair_bytes);
  const std::span<std::byte> bytes(out.bytes.data(), out.bytes.size());
  file.ReadExactly(leading.records_offset, bytes.first(corner_bytes));
  file.ReadExactly(ff01.records_offset, bytes.subspan(corner_bytes));
  out.records.polygon_count = static_cast<std::size_t>(layout.polygon_count());
  out.records.corners = bytes.first(corner_bytes);
  out.records.pairs = bytes.subspan(corner_bytes);
  out.names = ReadNames(FileWindow(file), layout[PrjBlockKind::kFF02].records_offset,
                        out.records.polygon_count);
  file.CheckUnchanged();
  return out;
}

}  // namespace durvane::render
