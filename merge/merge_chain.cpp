#include "merge/merge_chain.h"

#include <algorithm>
#include <limits>

#include "core/little_endian.h"
#include "merge/merge_plan.h"
#include "prj/prj_layout.h"

namespace durvane::merge {
namespace {

using prj::BlockName;
using prj::BlockTag;
using prj::kPrjBlockOrder;
using prj::PrjBlock;
using prj::PrjBlockKind;
using prj::PrjLayout;

// The index `index` of a file's record once it is raised by `shift`, or nullopt-free: the
// caller has checked the ranges it reads, and an index the walk did not read is 0.
std::int32_t Shifted(std::int32_t index, std::int32_t shift, std::size_t file, PrjBlockKind kind) {
  const std::int64_t shifted = std::int64_t{index} + shift;
  if (shifted > std::numeric_limits<std::int32_t>::max() ||
      shifted < std::numeric_limits<std::int32_t>::min()) {
    throw MergeChainError(file, std::string(BlockName(kind)) + ": the top-level index " +
                                    std::to_string(index) + " plus the shift " +
                                    std::to_string(shift) + " gives " + std::to_string(shifted) +
                                    ", outside the range of a 32-bit signed value");
  }
  return static_cast<std::int32_t>(shifted);
}

// The layout the merged file of `plan` has, without reading it: what the next step of the chain
// merges into.
PrjLayout LayoutAfter(const MergePlan& plan, const PrjLayout& first, const PrjLayout& second,
                      std::size_t second_file) {
  PrjLayout after;
  after.file_size = plan.size();
  for (const MergePlan::Block& block : plan.blocks) {
    PrjBlock& out = after[block.kind];
    const PrjBlock& a = first[block.kind];
    const PrjBlock& b = second[block.kind];
    out.present = true;
    out.complete = true;
    out.offset = block.header_at;
    out.count_offset = block.header_at + block.header_bytes - 4;
    out.count_field = LoadI32(plan.Header(block).data() + block.header_bytes - 4);
    out.records_offset = block.first_records_at;
    out.end = block.second_records_at + (block.from_second ? b.records_bytes() : 0);
    out.record_count = (a.present ? a.record_count : 0) + (b.present ? b.record_count : 0);
    const bool from_a = a.present && a.record_count > 0;
    const bool from_b = b.present && b.record_count > 0;
    if (from_b) {
      const std::int32_t lo = Shifted(b.min_index, plan.index_shift, second_file, block.kind);
      const std::int32_t hi = Shifted(b.max_index, plan.index_shift, second_file, block.kind);
      out.min_index = from_a ? std::min(a.min_index, lo) : lo;
      out.max_index = from_a ? std::max(a.max_index, hi) : hi;
      out.last_index = Shifted(b.last_index, plan.index_shift, second_file, block.kind);
    } else if (from_a) {
      out.min_index = a.min_index;
      out.max_index = a.max_index;
      out.last_index = a.last_index;
    }
  }
  // Sections missing from the result lie, empty, where they would start.
  std::uint64_t at = 0;
  for (PrjBlockKind kind : kPrjBlockOrder) {
    PrjBlock& block = after[kind];
    if (block.present) {
      at = block.end;
    } else {
      block.offset = block.count_offset = block.records_offset = block.end = at;
    }
  }
  return after;
}

}  // namespace

MergeChainPlan PlanMergeChain(std::span<const PrjLayout> layouts) {
  MergeChainPlan chain;
  chain.shifts.assign(layouts.size(), 0);
  if (layouts.empty()) return chain;
  PrjLayout merged = layouts[0];
  MergePlan plan;
  for (std::size_t i = 1; i < layouts.size(); ++i) {
    try {
      plan = PlanMerge(merged, layouts[i]);
    } catch (const MergeChainError&) {
      throw;
    } catch (const Error& e) {
      throw MergeChainError(i, e.what());
    }
    chain.shifts[i] = plan.index_shift;
    for (const std::string& w : plan.warnings) {
      if (std::find(chain.warnings.begin(), chain.warnings.end(), w) == chain.warnings.end()) {
        chain.warnings.push_back(w);
      }
    }
    merged = LayoutAfter(plan, merged, layouts[i], i);
  }

  // The result: each block's header, then every file's records of it, in file order.
  std::uint64_t at = 0;
  for (PrjBlockKind kind : kPrjBlockOrder) {
    const PrjBlock& result = merged[kind];
    if (!result.present) continue;
    MergeChainPlan::Block& block = chain.blocks.emplace_back();
    block.kind = kind;
    block.header_at = at;
    const std::size_t header_bytes = kind == PrjBlockKind::kLeading ? 4 : prj::kSectionHeaderBytes;
    block.header.resize(header_bytes);
    if (kind != PrjBlockKind::kLeading) StoreI32(block.header.data(), BlockTag(kind));
    StoreI32(block.header.data() + header_bytes - 4, result.count_field);
    at += header_bytes;
    for (std::size_t file = 0; file < layouts.size(); ++file) {
      const PrjBlock& source = layouts[file][kind];
      if (!source.present || source.records_bytes() == 0) continue;
      block.sources.push_back({file, &source, at});
      at += source.records_bytes();
    }
  }
  chain.merged_size = at;
  chain.polygon_count = merged.polygon_count();
  return chain;
}

}  // namespace durvane::merge
