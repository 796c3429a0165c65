#include "merge/index_shift.h"

#include <limits>
#include <optional>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"

namespace durvane::merge {
namespace {

constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();

bool FitsLong(std::int64_t value) {
  return value >= kLongMin && value <= kLongMax;
}

[[noreturn]] void ThrowOverflow(prj::PrjBlockKind kind, std::int32_t index, std::int32_t shift) {
  const std::int64_t shifted = std::int64_t{index} + shift;
  throw ShiftOverflowError(
      std::string(prj::BlockName(kind)) + ": the second file's top-level index " +
      std::to_string(index) + " plus the shift " + std::to_string(shift) + " gives " +
      std::to_string(shifted) + ", outside the range of a 32-bit signed value");
}

void AddAt(std::byte* p, prj::PrjBlockKind kind, std::int32_t shift) {
  const std::int32_t index = LoadI32(p);
  const std::int64_t shifted = std::int64_t{index} + shift;
  if (!FitsLong(shifted)) ThrowOverflow(kind, index, shift);
  StoreI32(p, static_cast<std::int32_t>(shifted));
}

}  // namespace

std::int32_t IndexShift(const prj::PrjLayout& first) {
  const prj::PrjBlock& polygons = first[prj::PrjBlockKind::kLeading];
  std::optional<std::int32_t> last;
  if (polygons.record_count > 0) {
    last = polygons.last_index;
  } else {
    for (const prj::PrjBlock& block : first.blocks) {
      if (block.record_count > 0 && (!last || block.max_index > *last)) last = block.max_index;
    }
  }
  if (!last) return 0;
  const std::int64_t shift = std::int64_t{*last} + 1;
  if (!FitsLong(shift)) {
    const char* source = polygons.record_count > 0 ? "of the first file's last polygon record"
                                                   : "largest among the first file's records";
    throw Error("the top-level index " + std::to_string(*last) + ", " + source +
                ", leaves no index to move the second file's records to: " + std::to_string(shift) +
                " is beyond the largest 32-bit signed value");
  }
  return static_cast<std::int32_t>(shift);
}

void CheckShiftedIndices(const prj::PrjLayout& layout, std::int32_t shift) {
  for (prj::PrjBlockKind kind : prj::kPrjBlockOrder) {
    const prj::PrjBlock& block = layout[kind];
    if (block.record_count == 0) continue;
    for (std::int32_t index : {block.min_index, block.max_index}) {
      if (!FitsLong(std::int64_t{index} + shift)) ThrowOverflow(kind, index, shift);
    }
  }
}

std::uint64_t ShiftRecords(std::span<std::byte> records, prj::PrjBlockKind kind, std::int32_t shift,
                           bool whole) {
  const ByteView view(records);
  const std::uint64_t size = records.size();
  std::uint64_t at = 0;
  if (const std::uint32_t fixed = prj::BlockRecordBytes(kind); fixed != 0) {
    for (; size - at >= fixed; at += fixed) AddAt(records.data() + at, kind, shift);
  } else {
    while (at < size && (whole || size - at >= prj::kMaxFF02RecordBytes)) {
      const std::uint64_t length = prj::FF02RecordBytes(view, at);
      AddAt(records.data() + at, kind, shift);
      at += length;
    }
  }
  if (whole && at != size) {
    throw FormatError(at,
                      std::string(prj::BlockName(kind)) + ": a record runs past the block's end");
  }
  return at;
}

}  // namespace durvane::merge
