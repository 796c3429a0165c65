// The merge of several PRJ files into the first in one pass: the same result as merging them
// into it one at a time, in order, with each file read once and the first replaced once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "prj/prj_layout_reader.h"

namespace durvane::merge {

// How files 1 to n fold into file 0. Each block of the result is its new header followed by
// the records of that block of file 0, file 1, ... in order, where file i's top-level indices
// are raised by shifts[i] (0 for file 0).
struct MergeChainPlan {
  struct Source {
    std::size_t file;            // index into the layouts
    const prj::PrjBlock* block;  // in that file's layout, with records
    std::uint64_t records_at;    // where its records go in the result
  };
  struct Block {
    prj::PrjBlockKind kind;
    std::vector<std::byte> header;  // the count field, after the tag for a section
    std::uint64_t header_at;
    std::vector<Source> sources;
  };
  std::vector<Block> blocks;
  std::vector<std::int32_t> shifts;  // one per file; shifts[0] is 0
  std::int32_t polygon_count = 0;    // of the merged file
  std::uint64_t merged_size = 0;
  std::vector<std::string> warnings;
};

// Thrown when folding file `file` (index into the layouts, from 1) cannot be done: a summed
// count or a shifted index leaves the signed 32-bit range.
class MergeChainError : public Error {
 public:
  MergeChainError(std::size_t file, const std::string& message) : Error(message), file_(file) {}
  std::size_t file() const { return file_; }

 private:
  std::size_t file_;
};

// Plans folding layouts[1], layouts[2], ... into layouts[0], which must outlive the plan.
// Step i is planned by PlanMerge on the layout the result of the steps before it would have, so
// counts, new sections, shifts and refusals are those of merging the files one at a time.
MergeChainPlan PlanMergeChain(std::span<const prj::PrjLayout> layouts);

}  // namespace durvane::merge
