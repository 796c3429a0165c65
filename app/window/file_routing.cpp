#include "app/window/file_routing.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "app/window/run_outcome.h"
#include "core/platform.h"

namespace durvane::window {
namespace {

// Whether `file` is named like an OPT file (true), a PRJ file (false), or neither (none):
// the part of its name after the last dot, in any letter case.
std::optional<bool> IsOpt(const std::string& file) {
  const std::string name = platform::PathBytes(platform::PathFromBytes(file).filename());
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string extension = name.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "opt") return true;
  if (extension == "prj") return false;
  return std::nullopt;
}

FileRoute Refused(std::string message) {
  FileRoute route;
  route.refusal = std::move(message);
  return route;
}

FileRoute Route(const std::vector<std::string>& files, bool opt, bool top) {
  FileRoute route;
  route.mode = opt ? Mode::kCreateNew : Mode::kMergePrj;
  route.top = top;
  route.files = files;
  return route;
}

}  // namespace

bool AllModelFiles(const std::vector<std::string>& files) {
  return !files.empty() && std::all_of(files.begin(), files.end(),
                                       [](const std::string& file) { return IsOpt(file); });
}

FileRoute RouteOpened(const std::string& file) {
  const std::optional<bool> opt = IsOpt(file);
  if (!opt) return Refused(file + " is neither an OPT file (.opt) nor a PRJ file (.prj).");
  return Route({file}, *opt, !*opt);
}

FileRoute RouteDropped(const std::vector<std::string>& files, bool on_top_group) {
  if (files.empty()) return {};
  const std::optional<bool> opt = IsOpt(files.front());
  for (const std::string& file : files) {
    if (!IsOpt(file) || IsOpt(file) != opt) {
      return Refused("Drop OPT files (.opt) or PRJ files (.prj), not both: " + file +
                     " was not taken.");
    }
  }
  if (*opt) return Route(files, true, false);
  if (on_top_group && files.size() > 1) {
    FileRoute route = Route({files.front()}, false, true);
    route.after = "Only one first PRJ file can be chosen: " + files.front() + " is.";
    return route;
  }
  return Route(files, false, on_top_group);
}

std::string LeftOutMessage(const std::vector<std::string>& files,
                           const std::vector<std::string>& left_out) {
  if (left_out.empty()) return {};
  if (files.size() == 1) return "The file " + files.front() + " is not listed in its folder.";
  return "Only files of one folder can be selected together: " + Joined(left_out, ", ") +
         (left_out.size() == 1 ? " is" : " are") + " not selected.";
}

}  // namespace durvane::window
