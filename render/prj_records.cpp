#include "render/prj_records.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
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

// Per polygon, the index of its first bitmap name, the names numbered in order of first use.
class NameIndex {
 public:
  explicit NameIndex(std::size_t count) { out_.of_polygon.reserve(count); }

  // The next polygon's FF02 record, at `at` in `view`; returns the record's length.
  std::uint64_t Add(const ByteView& view, std::uint64_t at) {
    const std::uint64_t length = prj::FF02RecordBytes(view, at);
    AddRecord(view.Bytes(at, length, "the record"));
    return length;
  }

  // The next polygon's FF02 record, whole, as the layout walk found it.
  void AddRecord(std::span<const std::byte> record) {
    // Index, flag, then the first name's length byte and bytes.
    const ByteView view(record);
    const std::uint8_t name_length = view.Byte(5, "the length of string 1");
    const std::span<const std::byte> bytes = view.Bytes(6, name_length, "string 1");
    AddName(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), 1);
  }

  // The next `count` polygons, which name `name` first.
  void AddName(std::string_view name, std::size_t count) {
    // Neighbouring polygons mostly share a bitmap: compare with the last name before hashing.
    if (last_index_ == kNoBitmap || name != last_name_) {
      auto [it, inserted] =
          index_of_.try_emplace(std::string(name), static_cast<std::uint32_t>(out_.names.size()));
      if (inserted) out_.names.push_back(it->first);
      last_name_.assign(name);
      last_index_ = it->second;
    }
    for (std::size_t i = 0; i < count; ++i) out_.of_polygon.push_back(last_index_);
  }

  std::size_t size() const { return out_.of_polygon.size(); }
  BitmapNames Take() { return std::move(out_); }

 private:
  BitmapNames out_;
  std::unordered_map<std::string, std::uint32_t> index_of_;
  std::string last_name_;
  std::uint32_t last_index_ = kNoBitmap;
};

// The FF02 records of `count` polygons from `at` in `view`.
BitmapNames ReadNames(const ByteView& view, std::uint64_t at, std::size_t count) {
  NameIndex index(count);
  for (std::size_t p = 0; p < count; ++p) at += index.Add(view, at);
  return index.Take();
}

}  // namespace

BitmapNames ReadBitmapNames(const PolygonRecords& records) {
  return ReadNames(ByteView(records.names), 0, records.polygon_count);
}

PrjFileRecords ReadPrjFileRecords(const std::filesystem::path& path) {
  const InputFile file(path);
  // The blocks' index ranges are not needed, only their structure; the bitmap names are read
  // as the walk passes section FF02.
  std::optional<NameIndex> names;
  const prj::PrjLayout layout =
      prj::ReadPrjLayout(FileWindow(file), prj::IndexReads::kStructureOnly,
                         [&names](std::span<const std::byte> record, std::int64_t record_count) {
                           if (!names) names.emplace(static_cast<std::size_t>(record_count));
                           names->AddRecord(record);
                         });
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
  if (names) out.names = names->Take();
  file.CheckUnchanged();
  return out;
}

struct BitmapNameIndex::State {
  explicit State(std::size_t count) : index(count) {}
  NameIndex index;
};

BitmapNameIndex::BitmapNameIndex(std::size_t polygon_count)
    : count_(polygon_count), state_(std::make_unique<State>(polygon_count)) {}

BitmapNameIndex::~BitmapNameIndex() = default;

void BitmapNameIndex::FirstBitmapNames(std::int32_t count, std::string_view bitmap) {
  if (count < 0 || static_cast<std::size_t>(count) > count_ - state_->index.size()) {
    throw std::logic_error("section FF02 named more polygons than the model has");
  }
  state_->index.AddName(bitmap, static_cast<std::size_t>(count));
}

BitmapNames BitmapNameIndex::Finish() {
  if (state_->index.size() != count_) {
    throw std::logic_error("section FF02 named fewer polygons than the model has");
  }
  return state_->index.Take();
}

}  // namespace durvane::render
