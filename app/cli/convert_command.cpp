// durvane convert [-o QEL_DIR] [-j N] FILE.opt...
#include <exception>
#include <filesystem>
#include <ostream>

#include "app/cli/commands.h"
#include "core/error.h"
#include "prj/conversion_run.h"

namespace durvane::cli {
namespace {

struct ConvertSettings {
  std::filesystem::path qel_directory = ".";
  std::vector<std::filesystem::path> files;
};

constexpr const char* kConvertUsage = "usage: durvane convert [-o QEL_DIR] FILE.opt...\n";

// Returns false after printing a usage error.
bool ParseConvertArgs(const std::vector<std::string>& args, ConvertSettings& settings, Streams io) {
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && (a == "-o" || a == "--output")) {
      if (i + 1 >= args.size()) {
        PrintUsageError(io, "option " + a + " needs a folder");
        return false;
      }
      settings.qel_directory = args[++i];
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      PrintUsageError(io, "unknown option '" + a + "'");
      return false;
    } else {
      settings.files.emplace_back(a);
    }
  }
  if (settings.files.empty()) {
    PrintUsageError(io, "no OPT file given");
    return false;
  }
  return true;
}

// Converts one file, printing what it wrote or why it failed. Returns true on success.
bool ConvertOne(const std::filesystem::path& file, const ConvertSettings& settings, Streams io) {
  const std::string shown = file.string();
  try {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const ConversionResult result =
        RunConversion(settings.qel_directory, folder, file.filename().string());
    for (const std::string& w : result.warnings) PrintFileWarning(io, shown, w);
    io.out << "wrote " << result.prj_path.string() << "\n";
    for (const auto& bmp : result.bitmaps) io.out << "wrote " << bmp.string() << "\n";
    return true;
  } catch (const std::bad_alloc&) {
    PrintFileError(io, shown, "out of memory");
  } catch (const std::exception& e) {
    PrintFileError(io, shown, e.what());
  }
  return false;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, Streams io) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    io.out << kConvertUsage;
    return kExitOk;
  }
  ConvertSettings settings;
  if (!ParseConvertArgs(args, settings, io)) {
    io.err << kConvertUsage;
    return kExitUsage;
  }
  bool all_ok = true;
  for (const auto& file : settings.files) all_ok = ConvertOne(file, settings, io) && all_ok;
  return all_ok ? kExitOk : kExitFailed;
}

}  // namespace durvane::cli
