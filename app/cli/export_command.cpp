// durvane export [--format glb|gltf|obj] [-o OUT] FILE
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/file_names.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"
#include "core/printable_text.h"
#include "usecases/model_export.h"

namespace durvane::cli {
namespace {

int UsageError(Streams io, const std::string& message) {
  PrintUsageError(io, message);
  io.err << CommandUsage("export");
  return kExitUsage;
}

}  // namespace

int RunExportCommand(const std::vector<std::string>& args, Streams io) {
  exporting::ExportFormat format = exporting::ExportFormat::kGlb;
  std::optional<std::string> output;
  const ParsedArgs parsed = ParseArgs(FindCommandHelp("export")->options, args);
  for (const GivenOption& o : parsed.options) {
    if (o.Is("--format")) {
      const auto given = exporting::ParseExportFormat(o.value);
      if (!given) return UsageError(io, "unknown format '" + o.value + "': glb, gltf or obj");
      format = *given;
    } else if (o.Is("-o")) {
      output = o.value;
    }
  }
  if (!parsed.error.empty()) return UsageError(io, parsed.error);
  const std::vector<std::string>& files = parsed.files;
  if (files.size() != 1) {
    return UsageError(io, files.empty() ? "no file given" : "export takes one file");
  }
  const std::string& file = files[0];
  const std::filesystem::path input = platform::PathFromBytes(file);
  if (ModelFileKindOf(input) == ModelFileKind::kOther) {
    PrintFileError(io, file, "not exported: the file name does not end in \".opt\" or \".prj\"");
    return kExitFailed;
  }
  const std::filesystem::path destination =
      output ? platform::PathFromBytes(*output) : exporting::ExportFileName(input, format);
  return ReportingErrorsOf(io, file, [&] {
    CompleteAfterReplacedSets(1, [&err = io.err, destination] {
      err << ("durvane: interrupted, but '" + PrintableText(platform::PathBytes(destination)) +
              "' and the files beside it were already written\n")
          << std::flush;
    });
    const exporting::ExportOutcome outcome = exporting::ExportModel(input, destination, format);
    for (const std::string& w : outcome.warnings) PrintFileWarning(io, file, w);
    for (const std::filesystem::path& written : outcome.files) {
      io.out << "wrote " << PrintableText(platform::PathBytes(written)) << "\n";
    }
    return kExitOk;
  });
}

}  // namespace durvane::cli
