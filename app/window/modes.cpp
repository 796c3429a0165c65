#include "app/window/modes.h"

#include <algorithm>
#include <stdexcept>

#include "core/platform.h"

namespace durvane::window {

ModeTexts TextsOf(Mode mode) {
  if (mode == Mode::kMergePrj) return {"1st PRJ Folder", "2nd PRJ Folder", "*.prj", true};
  return {"QEL Directory", "Location of *.opt", "*.opt", false};
}

RunPlan PlanFor(Mode mode, const Selection& selection, const Operations& operations,
                const SayWaiting& say_waiting) {
  const ModeTexts texts = TextsOf(mode);
  const auto choose = [](const char* what, const char* caption) {
    return std::runtime_error(std::string("No ") + what +
                              " is selected. Choose one in the list beside \"" + caption + "\".");
  };
  if (mode == Mode::kCreateNew) {
    if (selection.bottom_names.empty()) throw choose("OPT file", texts.bottom_caption);
    return ConversionRun(operations, selection.top_folder, selection.bottom_folder,
                         selection.bottom_names, say_waiting);
  }
  if (selection.top_names.empty()) throw choose("first PRJ file", texts.top_caption);
  if (selection.bottom_names.empty()) throw choose("second PRJ file", texts.bottom_caption);
  // Several second files fold into the first in one run, in list order.
  std::vector<std::string> others;
  for (const std::string& name : selection.bottom_names) {
    others.push_back(InFolder(selection.bottom_folder, name));
  }
  return MergeRun(operations, InFolder(selection.top_folder, selection.top_names.front()), others,
                  say_waiting);
}

bool StillSelected(Mode mode, const Selection& selection, const std::string& shown) {
  const std::filesystem::path file = platform::PathFromBytes(shown);
  const std::string name = platform::PathBytes(file.filename());
  const auto selects = [&](const std::string& folder, const std::vector<std::string>& names) {
    return platform::PathFromBytes(folder) == file.parent_path() &&
           std::find(names.begin(), names.end(), name) != names.end();
  };
  return selects(selection.bottom_folder, selection.bottom_names) ||
         (mode == Mode::kMergePrj && selects(selection.top_folder, selection.top_names));
}

}  // namespace durvane::window
