// The Merge PRJ operation: folds a second PRJ file into a first one, in place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "core/file_lock.h"
#include "usecases/merge_backup.h"

namespace durvane::merge {

struct MergeResult {
  std::vector<std::string> warnings;
  std::vector<std::int32_t> index_shifts;  // of each file folded in, in order
  std::int32_t polygon_count = 0;          // of the merged file
  std::int32_t first_polygon_count = 0;    // of the first file before the merge
  std::uint64_t bytes_written = 0;         // the merged file's size
  std::optional<MergeBackup> backup;       // when one was asked for
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

// Folds every file of `others` into `first`, in order, in one pass: block by block, the first
// file's records are followed by each later file's, whose top-level indices are moved past the
// files' before it, and the count fields become the sums. The result is the file that
// merging them one at a time would give, but each file is read once and `first` is replaced
// once. Every file is checked before anything is written; any bad file, or a count or index
// leaving the 32-bit range at any step, refuses the whole merge with `first` unchanged and the
// message naming that file. A file may be named several times.
//
// With a `backup` name, the first file's bytes from before the merge are written there in the
// same set as the merged file, so that both are replaced together or neither is: whatever is at
// that name is replaced as any output is (a folder, device, FIFO or socket there is refused),
// and a name that leads to the first file itself is refused.
MergeResult MergePrjFiles(const std::filesystem::path& first,
                          std::span<const std::filesystem::path> others,
                          Durability durability = Durability::kSync, const LockWait& lock_wait = {},
                          const std::filesystem::path& backup = {});

}  // namespace durvane::merge
