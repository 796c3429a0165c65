// The two operations the window starts with its button. The window holds them as functions
// so that the program binds them to the library and tests can watch or replace them.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "usecases/batch_conversion.h"
#include "usecases/merge_run.h"

namespace durvane::window {

struct Operations {
  // Create New: converts the OPT files into options.qel_directory and tells `observer` about
  // each, as ConvertFiles does. Returns true when every file was converted.
  std::function<bool(const std::vector<std::filesystem::path>&, const BatchOptions&,
                     BatchObserver&)>
      convert_files;
  // Merge PRJ: the first file, which receives the result, and the files folded into it, in
  // order, as MergePrjFiles does; `lock_wait` and the backup name (kept to undo the merge) as
  // there.
  std::function<merge::MergeResult(const std::filesystem::path&,
                                   const std::vector<std::filesystem::path>&, const LockWait&,
                                   const std::filesystem::path& backup)>
      merge;
};

// The library's conversion and merge.
Operations LibraryOperations();

}  // namespace durvane::window
