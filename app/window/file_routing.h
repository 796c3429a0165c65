// Where files handed to the window go: a file named on the command line ("Open with") or files
// dropped on the window. OPT files are selected in Create New mode in the bottom lists; PRJ
// files in Merge PRJ mode, as the first file in the top lists or as the files folded into it.
#pragma once

#include <string>
#include <vector>

#include "app/window/modes.h"

namespace durvane::window {

struct FileRoute {
  std::string refusal;  // when set, nothing is selected and this is said
  Mode mode = Mode::kCreateNew;
  bool top = false;  // the top group's lists, else the bottom group's
  std::vector<std::string> files;
  std::string after;  // said once the files are selected without a problem of their own
};

// Whether every one of `files` (at least one) is named like an OPT or a PRJ file, which is
// what the window takes from a drag.
bool AllModelFiles(const std::vector<std::string>& files);

// A file named on the command line: an OPT file for Create New, a PRJ file as the first file.
FileRoute RouteOpened(const std::string& file);

// Files dropped on the top group (`on_top_group`) or elsewhere: all OPT files or all PRJ files;
// only one can be the first PRJ file.
FileRoute RouteDropped(const std::vector<std::string>& files, bool on_top_group);

// What to say when `left_out` of `files` could not be selected: they are not listed in the
// folder the list went to. Empty when none was left out.
std::string LeftOutMessage(const std::vector<std::string>& files,
                           const std::vector<std::string>& left_out);

}  // namespace durvane::window
