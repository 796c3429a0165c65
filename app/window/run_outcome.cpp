#include "app/window/run_outcome.h"

#include <algorithm>

namespace durvane::window {
namespace {

bool Failed(const FileOutcome& file) {
  return !file.done && !file.cancelled;
}

}  // namespace

int RunOutcome::Done() const {
  return static_cast<int>(
      std::count_if(files.begin(), files.end(), [](const FileOutcome& file) { return file.done; }));
}

bool RunOutcome::Cancelled() const {
  return std::any_of(files.begin(), files.end(),
                     [](const FileOutcome& file) { return file.cancelled; });
}

std::vector<std::string> RunOutcome::Warnings() const {
  std::vector<std::string> warnings;
  for (const FileOutcome& file : files) {
    for (const std::string& warning : file.warnings) {
      warnings.push_back(Total() > 1 ? file.name + ": " + warning : warning);
    }
  }
  return warnings;
}

std::vector<std::string> RunOutcome::Failures() const {
  std::vector<std::string> failures;
  for (const FileOutcome& file : files) {
    if (Failed(file)) failures.push_back(file.headline + '\n' + file.detail);
  }
  return failures;
}

std::string Joined(const std::vector<std::string>& lines, const std::string& separator) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += separator;
    text += lines[i];
  }
  return text;
}

std::string StatusLine(const RunOutcome& outcome) {
  const std::size_t warnings = outcome.Warnings().size();
  const std::string warned = warnings == 0   ? std::string()
                             : warnings == 1 ? std::string(" (1 warning)")
                                             : " (" + std::to_string(warnings) + " warnings)";
  if (outcome.Total() == 1) {
    const FileOutcome& file = outcome.files.front();
    return (file.done ? file.summary : file.headline) + warned;
  }
  std::string line = "converted " + std::to_string(outcome.Done()) + " of " +
                     std::to_string(outcome.Total()) + " OPT files into " + outcome.target;
  std::vector<std::string> failed;
  for (const FileOutcome& file : outcome.files) {
    if (Failed(file)) failed.push_back(file.name);
  }
  if (!failed.empty()) line += "; failed: " + Joined(failed, ", ");
  if (outcome.Cancelled()) line += "; canceled before the rest";
  return line + warned;
}

std::optional<ErrorReport> FailureReport(const RunOutcome& outcome) {
  const std::vector<std::string> failures = outcome.Failures();
  if (outcome.AllDone() || failures.empty()) return std::nullopt;
  if (outcome.Total() == 1) {
    const FileOutcome& file = outcome.files.front();
    return ErrorReport{file.headline, file.detail};
  }
  const auto first = std::find_if(outcome.files.begin(), outcome.files.end(), Failed);
  const std::string quoted = "'" + first->name + "'";
  const std::size_t others = failures.size() - 1;
  const std::string headline =
      others == 0 ? quoted + " could not be converted."
      : others == 1
          ? quoted + " and 1 other OPT file could not be converted."
          : quoted + " and " + std::to_string(others) + " other OPT files could not be converted.";
  return ErrorReport{headline, Joined(failures, "\n\n")};
}

}  // namespace durvane::window
