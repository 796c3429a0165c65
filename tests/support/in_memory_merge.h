// The merge of two PRJ files held in memory, built from the merge plan and the index shift
// alone: a reference the streamed merge of the product is compared with.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "merge/merge_plan.h"
#include "prj/prj_layout_reader.h"

namespace durvane::fixture {

// A merged file as pieces that, written back to back, are the file. The pieces point into
// the two input buffers and into the plan's headers; the inputs must outlive them.
struct MergedPrj {
  MergedPrj() = default;
  // Moving keeps the pieces valid; a copy would point into the original's headers.
  MergedPrj(MergedPrj&&) = default;
  MergedPrj& operator=(MergedPrj&&) = default;
  MergedPrj(const MergedPrj&) = delete;
  MergedPrj& operator=(const MergedPrj&) = delete;

  merge::MergePlan plan;
  std::vector<std::span<const std::byte>> pieces;

  // The whole file as one buffer.
  std::vector<std::byte> Flatten() const;
};

// Adds `shift` to the top-level index that opens every record of `bytes`, a file laid out as
// `layout`. The caller has checked the sums with merge::CheckShiftedIndices.
void ShiftTopLevelIndices(std::span<std::byte> bytes, const prj::PrjLayout& layout,
                          std::int32_t shift);

// Merges `second` into `first`, two PRJ files in memory, as merge::PlanMerge plans. The second
// file's top-level indices are raised in place, in `second`. Throws Error, with both buffers
// unchanged, when PlanMerge does.
MergedPrj MergePrjImages(std::span<const std::byte> first, const prj::PrjLayout& first_layout,
                         std::span<std::byte> second, const prj::PrjLayout& second_layout);

}  // namespace durvane::fixture
