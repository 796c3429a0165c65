#include "app/gui/operations.h"

namespace durvane::gui {

// The window always waits for its files to reach the disk.
Operations LibraryOperations() {
  return {[](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
             BatchObserver& observer) { return ConvertFiles(files, options, observer); },
          [](const std::filesystem::path& first, const std::filesystem::path& second) {
            return merge::MergePrj(first, second);
          }};
}

}  // namespace durvane::gui
