// The validating layout walk of a PRJ file: finds every block by stepping over the records
// before it, never by searching for tag values, so record bytes that happen to equal a tag
// cannot mislead it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/byte_view.h"
#include "core/file_window.h"
#include "prj/prj_layout.h"

namespace durvane::prj {

// The eight blocks of a PRJ file, in file order.
enum class PrjBlockKind : std::uint8_t {
  kLeading,
  kFF01,
  kFF02,
  kFF03,
  kFF04,
  kFF05,
  kFF07,
  kFF08
};
inline constexpr std::size_t kPrjBlockCount = 8;
inline constexpr std::array<PrjBlockKind, kPrjBlockCount> kPrjBlockOrder = {
    PrjBlockKind::kLeading, PrjBlockKind::kFF01, PrjBlockKind::kFF02, PrjBlockKind::kFF03,
    PrjBlockKind::kFF04,    PrjBlockKind::kFF05, PrjBlockKind::kFF07, PrjBlockKind::kFF08};

// "leading block", "section FF01", ...: the block's name in messages.
std::string_view BlockName(PrjBlockKind kind);
// The tag that opens a section; 0 for the untagged leading block.
std::int32_t BlockTag(PrjBlockKind kind);
// The fixed record length of a block; 0 for section FF02, whose records vary.
std::uint32_t BlockRecordBytes(PrjBlockKind kind);
// Only sections FF03 and FF08 may be missing from a file.
bool BlockIsOptional(PrjBlockKind kind);
// The leading block and sections FF01, FF02 and FF07 hold one record per polygon; their
// record count is the leading block's count field, whatever their own count fields say.
bool BlockIsPerPolygon(PrjBlockKind kind);

// Where one block lies in a file. The block's header (tag and count field, or the count field
// alone for the leading block) runs from `offset` to `records_offset`; its records from
// `records_offset` to `end`.
struct PrjBlock {
  bool present = false;
  std::uint64_t offset = 0;
  std::uint64_t count_offset = 0;
  std::int32_t count_field = 0;
  std::uint64_t records_offset = 0;
  std::uint64_t end = 0;
  std::int64_t record_count = 0;
  // The smallest and largest top-level index among the records; 0 when there is no record.
  std::int32_t min_index = 0;
  std::int32_t max_index = 0;
  // The top-level index of the last record; 0 when there is no record.
  std::int32_t last_index = 0;
  // True once all the block's records have been walked.
  bool complete = false;

  std::uint64_t records_bytes() const { return end - records_offset; }
};

// Every block of a valid PRJ file. A missing FF03 or FF08 section is not `present` and lies,
// empty, where it would start.
struct PrjLayout {
  std::uint64_t file_size = 0;
  std::array<PrjBlock, kPrjBlockCount> blocks{};

  const PrjBlock& operator[](PrjBlockKind kind) const {
    return blocks[static_cast<std::size_t>(kind)];
  }
  PrjBlock& operator[](PrjBlockKind kind) { return blocks[static_cast<std::size_t>(kind)]; }
  // The leading block's count field: the number of polygon records.
  std::int32_t polygon_count() const { return (*this)[PrjBlockKind::kLeading].count_field; }
};

// Walks a whole PRJ file and returns where its blocks lie. A valid file is: the polygon count
// T (0 or more) and T records of 52 bytes; the FF01 tag, a count, T records of 36 bytes; the
// FF02 tag, a count, T records walked by their flag and length bytes; optionally the FF03
// tag, a count c3 (0 or more) and c3 records of 20 bytes; the FF04 tag, c4 and c4 records of
// 76 bytes; the FF05 tag, c5 and c5 records of 52 bytes; the FF07 tag, a count, T records of
// 40 bytes; optionally the FF08 tag, c8 and c8 records of 72 bytes; then the end of the file.
// The count fields after the FF01, FF02 and FF07 tags are not checked. Throws FormatError
// naming the section and the offset of the first thing that breaks this layout.
PrjLayout ReadPrjLayout(std::span<const std::byte> bytes);
// Which top-level indices the walk reads. kAll fills every block's index range. With
// kStructureOnly the leading block and sections FF01, FF02 and FF07 note only their last
// record's index (and FF02 all of them, since its walk reads every record anyway): enough for
// the merge's index shift, for a caller that checks the other indices as it copies them.
enum class IndexReads : std::uint8_t { kAll, kStructureOnly };

// Handed each FF02 record's bytes in file order as the walk passes them, with the number of
// records the section holds; the bytes are good only during the call.
using FF02RecordVisitor =
    std::function<void(std::span<const std::byte> record, std::int64_t record_count)>;

// The same walk over a file read piece by piece as the walk goes; `visit_ff02`, when set, is
// shown every FF02 record, so that a caller needs no second walk of the section.
PrjLayout ReadPrjLayout(const FileWindow& file, IndexReads reads = IndexReads::kAll,
                        const FF02RecordVisitor& visit_ff02 = {});

// The blocks of a PRJ file as far as the layout walk got, and what stopped it: for describing
// files that may be invalid. A block the walk did not finish is not `complete`.
struct PrjLayoutScan {
  PrjLayout layout;
  std::optional<std::string> error;  // the first thing that breaks the layout, with its offset
};
PrjLayoutScan ScanPrjLayout(std::span<const std::byte> bytes);
// The same scan of a file read piece by piece as the walk goes: a file whose first blocks
// break the layout is refused having read little more than them. Reads that fail, or find the
// file shortened, throw Error.
PrjLayoutScan ScanPrjLayout(const FileWindow& file);

// The length of the FF02 record at `offset`: the top-level index, a flag byte, a string (a
// length byte and that many bytes), three more strings when the flag is 1, and a 40-byte
// tail. Throws FormatError when the record runs past the end of `view`. View is ByteView or
// FileWindow.
template <typename View>
std::uint64_t FF02RecordBytes(const View& view, std::uint64_t offset);
extern template std::uint64_t FF02RecordBytes(const ByteView&, std::uint64_t);
extern template std::uint64_t FF02RecordBytes(const FileWindow&, std::uint64_t);

// The longest FF02 record: four strings of 255 bytes.
inline constexpr std::uint32_t kMaxFF02RecordBytes = 4 + 1 + 4 * (1 + 255) + kFF02TailBytes;

}  // namespace durvane::prj
