// durvane info [--json] FILE...: explains OPT and PRJ files.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/file_names.h"
#include "core/input_file.h"
#include "core/platform.h"
#include "core/printable_text.h"
#include "core/whole_file.h"
#include "info/opt_report.h"
#include "info/opt_report_format.h"
#include "info/prj_report.h"

namespace durvane::cli {
namespace {

// Prints the report of one file; returns true when the file is valid. The report is made in
// full before it is printed, so that one about a file cut short or changed meanwhile is not
// printed at all.
bool DescribeOne(const std::string& file, ModelFileKind kind, bool json, Streams io) {
  const std::filesystem::path path = platform::PathFromBytes(file);
  std::string text;
  bool valid = false;
  try {
    if (kind == ModelFileKind::kOpt) {
      // An OPT file is taken whole, as the conversion takes it: mapped when large.
      const InputBytes bytes(path);
      const info::OptReport report = info::DescribeOpt(bytes);
      bytes.CheckUnchanged();
      text = json ? info::OptReportJson(file, report)
                  : info::OptReportText(PrintableText(file), report);
      valid = report.valid();
    } else {
      // A PRJ file is read piece by piece, as the merge reads it.
      const info::PrjReport report = info::DescribePrj(InputFile(path));
      text = json ? info::PrjReportJson(file, report)
                  : info::PrjReportText(PrintableText(file), report);
      valid = report.valid();
    }
  } catch (const std::exception& e) {
    PrintFileError(io, file, e.what());
    return false;
  }
  io.out << text;
  return valid;
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args, Streams io) {
  const ParsedArgs parsed = ParseArgs(FindCommandHelp("info")->options, args);
  if (!parsed.error.empty()) {
    PrintUsageError(io, parsed.error);
    io.err << CommandUsage("info");
    return kExitUsage;
  }
  const bool json = std::any_of(parsed.options.begin(), parsed.options.end(),
                                [](const GivenOption& o) { return o.Is("--json"); });
  const std::vector<std::string>& files = parsed.files;
  if (files.empty()) {
    PrintUsageError(io, "no file given");
    io.err << CommandUsage("info");
    return kExitUsage;
  }
  bool all_valid = true;
  for (const std::string& f : files) {
    const ModelFileKind kind = ModelFileKindOf(platform::PathFromBytes(f));
    if (kind == ModelFileKind::kOther) {
      PrintFileError(io, f,
                     "not explained: the file name ends neither in \".opt\" nor in \".prj\"");
      all_valid = false;
      continue;
    }
    all_valid = DescribeOne(f, kind, json, io) && all_valid;
  }
  return all_valid ? kExitOk : kExitFailed;
}

}  // namespace durvane::cli
