// The Merge PRJ operation: folds a second PRJ file into a first one, in place.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace durvane::merge {

struct MergeResult {
  std::vector<std::string> warnings;
};

// Folds `second` into `first`: block by block, the first file's records are followed by the
// second file's, whose top-level indices are moved past the first file's, and the count fields
// become the sums. Both files are read and validated in full before anything is written; the
// result replaces `first` atomically. Throws Error naming the file, section and offset when
// either file is not valid PRJ input; `first` is then unchanged.
MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second);

}  // namespace durvane::merge
