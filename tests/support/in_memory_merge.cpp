#include "tests/support/in_memory_merge.h"

#include "merge/index_shift.h"

namespace durvane::fixture {
namespace {

std::span<const std::byte> Records(std::span<const std::byte> bytes, const prj::PrjBlock& block) {
  return bytes.subspan(block.records_offset, block.records_bytes());
}

}  // namespace

std::vector<std::byte> MergedPrj::Flatten() const {
  std::vector<std::byte> out;
  out.reserve(plan.size());
  for (auto piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

void ShiftTopLevelIndices(std::span<std::byte> bytes, const prj::PrjLayout& layout,
                          std::int32_t shift) {
  for (prj::PrjBlockKind kind : prj::kPrjBlockOrder) {
    const prj::PrjBlock& block = layout[kind];
    merge::ShiftRecords(bytes.subspan(block.records_offset, block.records_bytes()), kind, shift,
                        true);
  }
}

MergedPrj MergePrjImages(std::span<const std::byte> first, const prj::PrjLayout& first_layout,
                         std::span<std::byte> second, const prj::PrjLayout& second_layout) {
  MergedPrj merged;
  merged.plan = merge::PlanMerge(first_layout, second_layout);
  ShiftTopLevelIndices(second, second_layout, merged.plan.index_shift);
  for (const merge::MergePlan::Block& block : merged.plan.blocks) {
    merged.pieces.push_back(merged.plan.Header(block));
    if (block.from_first && block.from_first->records_bytes() > 0) {
      merged.pieces.push_back(Records(first, *block.from_first));
    }
    if (block.from_second && block.from_second->records_bytes() > 0) {
      merged.pieces.push_back(Records(second, *block.from_second));
    }
  }
  return merged;
}

}  // namespace durvane::fixture
