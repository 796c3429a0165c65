#include "merge/merge_plan.h"

#include <limits>

#include "core/error.h"
#include "core/little_endian.h"
#include "merge/index_shift.h"
#include "prj/prj_layout.h"

namespace durvane::merge {
namespace {

// The leading count field and seven section headers at most.
constexpr std::size_t kMaxHeaderBytes = 4 + 7 * prj::kSectionHeaderBytes;

// What the second file adds to a block's count field: its polygon count for the blocks with
// one record per polygon (their own count fields are never read), else its section's count.
std::int64_t AddedCount(const prj::PrjLayout& second, prj::PrjBlockKind kind) {
  if (prj::BlockIsPerPolygon(kind)) return second.polygon_count();
  const prj::PrjBlock& block = second[kind];
  return block.present ? block.count_field : 0;
}

std::int32_t SummedCount(prj::PrjBlockKind kind, std::int32_t first, std::int64_t added) {
  const std::int64_t sum = first + added;
  if (sum < std::numeric_limits<std::int32_t>::min() ||
      sum > std::numeric_limits<std::int32_t>::max()) {
    throw Error(std::string(prj::BlockName(kind)) + ": the merged count " + std::to_string(first) +
                " + " + std::to_string(added) + " = " + std::to_string(sum) +
                " is outside the range of a 32-bit signed value");
  }
  return static_cast<std::int32_t>(sum);
}

// A first file whose per-polygon count field disagrees with its polygon count keeps
// disagreeing after the merge; the merge leaves such fields as they are, apart from the sum.
void NoteStrayCountField(const prj::PrjLayout& first, prj::PrjBlockKind kind,
                         std::vector<std::string>& warnings) {
  const prj::PrjBlock& block = first[kind];
  if (kind == prj::PrjBlockKind::kLeading || !prj::BlockIsPerPolygon(kind)) return;
  if (block.count_field == first.polygon_count()) return;
  warnings.push_back(std::string(prj::BlockName(kind)) + " of the first file has the count " +
                     std::to_string(block.count_field) + " but " +
                     std::to_string(first.polygon_count()) +
                     " polygons; its merged count field disagrees with its records too");
}

}  // namespace

MergePlan PlanMerge(const prj::PrjLayout& first_layout, const prj::PrjLayout& second_layout) {
  MergePlan plan;
  plan.index_shift = IndexShift(first_layout);
  CheckShiftedIndices(second_layout, plan.index_shift);

  plan.headers.resize(kMaxHeaderBytes);
  std::size_t header_at = 0;
  for (prj::PrjBlockKind kind : prj::kPrjBlockOrder) {
    const prj::PrjBlock& a = first_layout[kind];
    const prj::PrjBlock& b = second_layout[kind];
    // A section the first file lacks appears when the second file brings records for it.
    if (!a.present && b.record_count == 0) continue;
    const std::int32_t count =
        SummedCount(kind, a.present ? a.count_field : 0, AddedCount(second_layout, kind));
    std::byte* header = plan.headers.data() + header_at;
    std::size_t header_bytes = 4;
    if (kind != prj::PrjBlockKind::kLeading) {
      StoreI32(header, prj::BlockTag(kind));
      header_bytes = prj::kSectionHeaderBytes;
    }
    StoreI32(header + header_bytes - 4, count);
    MergePlan::Block& block = plan.blocks.emplace_back(
        MergePlan::Block{kind, header_at, header_bytes, a.present ? &a : nullptr,
                         b.present ? &b : nullptr, plan.merged_size, 0, 0});
    block.first_records_at = block.header_at + header_bytes;
    block.second_records_at = block.first_records_at + (a.present ? a.records_bytes() : 0);
    plan.merged_size = block.second_records_at + (b.present ? b.records_bytes() : 0);
    header_at += header_bytes;
    if (kind == prj::PrjBlockKind::kLeading) plan.polygon_count = count;
    NoteStrayCountField(first_layout, kind, plan.warnings);
  }
  plan.headers.resize(header_at);
  return plan;
}

}  // namespace durvane::merge
