// The plan of a merge of two PRJ files: block by block, where the first file's records and the
// second file's go, and the new count fields, which are the sums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "prj/prj_layout_reader.h"

namespace durvane::merge {

// How two valid PRJ files merge: the merged file is, block by block, the block's new header,
// the first file's records of that block, then the second file's with their top-level indices
// raised by `index_shift`. Every count and shifted index has been checked.
struct MergePlan {
  struct Block {
    prj::PrjBlockKind kind;
    std::size_t header_offset;  // into `headers`
    std::size_t header_bytes;
    const prj::PrjBlock* from_first;   // null when the first file lacks the section
    const prj::PrjBlock* from_second;  // likewise for the second
    // Where the block's header, the first file's records and the second's go in the result.
    std::uint64_t header_at, first_records_at, second_records_at;
  };
  std::vector<std::byte> headers;  // the new count fields and section headers
  std::vector<Block> blocks;
  std::int32_t index_shift = 0;
  std::int32_t polygon_count = 0;  // of the merged file
  std::uint64_t merged_size = 0;
  std::vector<std::string> warnings;

  std::span<const std::byte> Header(const Block& block) const {
    return std::span<const std::byte>(headers).subspan(block.header_offset, block.header_bytes);
  }
  // The merged file's size.
  std::uint64_t size() const { return merged_size; }
};

// Plans the merge of `second` into `first`, two valid PRJ files laid out as their layouts say
// (see prj::ReadPrjLayout), which must outlive the plan. Each block of the result is the first
// file's block with its count field raised by the second file's count, followed by the
// second file's records; a section the first file lacks gets a new header when the second
// file brings records for it. Throws Error when a summed count or a shifted index leaves the
// signed 32-bit range.
MergePlan PlanMerge(const prj::PrjLayout& first, const prj::PrjLayout& second);

}  // namespace durvane::merge
