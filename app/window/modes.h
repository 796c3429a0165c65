// The window's two modes, what each list shows and means in each, and the run a press of the
// button asks for from what is selected.
#pragma once

#include <string>
#include <vector>

#include "app/window/window_runs.h"

namespace durvane::window {

enum class Mode { kCreateNew, kMergePrj };

// What the lists show in a mode. Both modes share the folder lists; the top file list (the
// first PRJ file, "*.prj", one file) is shown in Merge PRJ only.
struct ModeTexts {
  const char* top_caption;
  const char* bottom_caption;
  const char* bottom_pattern;  // the bottom file list's, which takes several files in both
  bool top_files_shown;
};

ModeTexts TextsOf(Mode mode);

// What the lists hold when the button is pressed. Paths and names are PathBytes.
struct Selection {
  std::string top_folder;                 // the QEL directory, or the first PRJ file's folder
  std::vector<std::string> top_names;     // Merge PRJ: the first PRJ file
  std::string bottom_folder;              // the OPT files', or the second PRJ files', folder
  std::vector<std::string> bottom_names;  // in list order
};

// The run a press asks for in `mode`. Throws std::runtime_error, with a message that says
// what to choose, when something to run on is not selected.
RunPlan PlanFor(Mode mode, const Selection& selection, const Operations& operations,
                const SayWaiting& say_waiting);

// Whether the preview's file `shown` is still selected in a list `mode` uses.
bool StillSelected(Mode mode, const Selection& selection, const std::string& shown);

}  // namespace durvane::window
