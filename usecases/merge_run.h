// The Merge PRJ operation: folds a second PRJ file into a first one, in place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "core/file_lock.h"

namespace durvane::merge {

struct MergeResult {
  std::vector<std::string> warnings;
  std::int32_t index_shift = 0;            // added to every top-level index of the second file
  std::vector<std::int32_t> index_shifts;  // of each file folded in, in order
  std::int32_t polygon_count = 0;          // of the merged file
  std::int32_t first_polygon_count = 0;    // of the first file before the merge
  std::uint64_t bytes_written = 0;         // the merged file's size
};

// A merge failed because of one of its two files. what() is "'file': detail".
class MergeFileError : public Error {
 public:
  MergeFileError(std::filesystem::path file, const std::string& detail);
  const std::filesystem::path& file() const { return file_; }
  const std::string& detail() const { return detail_; }

 private:
  std::filesystem::path file_;
  std::string detail_;
};

// Folds `second` into `first`: block by block, the first file's records are followed by the
// second file's, whose top-level indices are moved past the first file's, and the count fields
// become the sums. Both files are read and validated in full before anything is written; the
// result replaces `first` atomically. Throws MergeFileError naming the file, section and
// offset when either file is not valid PRJ input, cannot be read, or the merged counts or
// indices leave the 32-bit range, and when `first` cannot be written; `first` is then
// unchanged. `first` and `second` may name the same file. `durability` says whether the merged
// file reaches the disk before it replaces `first`. The merge holds a WriterLock on `first`
// from before it reads it until it is replaced, so that two merges into one file run one after
// the other and neither is lost; `lock_wait` says whether to wait for another run's lock.
MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second,
                     Durability durability = Durability::kSync, const LockWait& lock_wait = {});

// Folds every file of `others` into `first`, in order, in one pass: the result is the file that
// merging them one at a time would give, but each file is read once and `first` is replaced
// once. Every file is checked before anything is written; any bad file, or a count or index
// leaving the 32-bit range at any step, refuses the whole merge with `first` unchanged and the
// message naming that file. A file may be named several times.
MergeResult MergePrjFiles(const std::filesystem::path& first,
                          std::span<const std::filesystem::path> others,
                          Durability durability = Durability::kSync,
                          const LockWait& lock_wait = {});

}  // namespace durvane::merge
