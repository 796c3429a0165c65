#include "app/cli/wildcard_arguments.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/platform.h"
#include "core/wildcard_pattern.h"

namespace durvane::cli {
namespace {

// Whether `argument` names a file or folder as written, wildcard characters and all.
bool ExistsAsWritten(const std::string& argument) {
  std::error_code error;
  const platform::FileStatus status =
      platform::PathStatus(platform::PathFromBytes(argument), true, error);
  return !error && status.kind != platform::FileKind::kMissing;
}

}  // namespace

std::vector<WildcardFailure> ExpandWildcards(std::string_view command,
                                             std::vector<std::string>& args) {
  const CommandHelp* help = FindCommandHelp(command);
  if (help == nullptr) return {};
  const ParsedArgs parsed = ParseArgs(help->options, args);
  if (!parsed.error.empty()) return {};

  std::vector<WildcardFailure> failures;
  std::vector<std::string> files;
  bool expanded = false;
  for (const std::string& file : parsed.files) {
    if (!HasWildcard(file) || ExistsAsWritten(file)) {
      files.push_back(file);
      continue;
    }
    const PathTail tail = SplitLastComponent(file);
    if (FolderHasWildcard(tail.folder)) {
      failures.push_back({file,
                          "no such file: a wildcard may stand only in the file's name, "
                          "not in the name of a folder"});
      continue;
    }
    std::error_code error;
    const std::string folder(tail.folder);
    std::vector<std::string> names = platform::ListedFiles(platform::PathFromBytes(folder), error);
    if (error) {
      failures.push_back({file, "cannot list the folder: " + platform::ErrorText(error)});
      continue;
    }
    names = SelectMatches(tail.name, std::move(names));
    if (names.empty()) {
      failures.push_back({file, "no file matches this pattern"});
      continue;
    }
    for (const std::string& name : names) files.push_back(folder + name);
    expanded = true;
  }
  if (!failures.empty() || !expanded) return failures;

  std::vector<std::string> rebuilt;
  std::size_t next_file = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (next_file < parsed.file_positions.size() && parsed.file_positions[next_file] == i) {
      ++next_file;
    } else if (i != parsed.options_end) {
      rebuilt.push_back(std::move(args[i]));
    }
  }
  rebuilt.emplace_back("--");
  rebuilt.insert(rebuilt.end(), files.begin(), files.end());
  args = std::move(rebuilt);
  return {};
}

}  // namespace durvane::cli
