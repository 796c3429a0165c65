#include "app/gui/operations.h"

namespace durvane::gui {

// The window always waits for its files to reach the disk.
Operations LibraryOperations() {
  return {[](const std::filesystem::path& qel_directory, const std::filesystem::path& opt_folder,
             const std::string& opt_file_name) {
            return RunConversion(qel_directory, opt_folder, opt_file_name);
          },
          [](const std::filesystem::path& first, const std::filesystem::path& second) {
            return merge::MergePrj(first, second);
          }};
}

}  // namespace durvane::gui
