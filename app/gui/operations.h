// The two operations the window starts with its button. The window holds them as functions
// so that the program binds them to the library and tests can watch or replace them.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "merge/merge_run.h"
#include "prj/conversion_run.h"

namespace durvane::gui {

struct Operations {
  // Create New: the QEL directory, the OPT folder and the OPT file name.
  std::function<ConversionResult(const std::filesystem::path&, const std::filesystem::path&,
                                 const std::string&)>
      create_new;
  // Merge PRJ: the first file, which receives the result, and the second file.
  std::function<merge::MergeResult(const std::filesystem::path&, const std::filesystem::path&)>
      merge;
};

// The library's conversion and merge.
Operations LibraryOperations();

}  // namespace durvane::gui
