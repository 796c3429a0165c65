#include "app/window/operations.h"

namespace durvane::window {

// The window always waits for its files to reach the disk.
Operations LibraryOperations() {
  return {[](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
             BatchObserver& observer) { return ConvertFiles(files, options, observer); },
          [](const std::filesystem::path& first, const std::vector<std::filesystem::path>& others,
             const LockWait& lock_wait, const std::filesystem::path& backup) {
            return merge::MergePrjFiles(first, others, Durability::kSync, lock_wait, backup);
          }};
}

}  // namespace durvane::window
