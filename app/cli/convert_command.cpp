// durvane convert [-o QEL_DIR] [-j N] [--no-sync] [--no-wait] FILE.opt...
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"
#include "core/printable_text.h"
#include "usecases/batch_conversion.h"

namespace durvane::cli {
namespace {

struct ConvertSettings {
  std::vector<std::filesystem::path> files;
  BatchOptions options;
  bool wait = true;
};

// Parses the N of -j N: a whole number from 1 to 1024.
bool ParseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const unsigned value = static_cast<unsigned>(std::stoul(text));
  if (value < 1 || value > 1024) return false;
  jobs = value;
  return true;
}

// Returns false after printing a usage error.
bool ParseConvertArgs(const std::vector<std::string>& args, ConvertSettings& settings, Streams io) {
  const ParsedArgs parsed = ParseArgs(FindCommandHelp("convert")->options, args);
  for (const GivenOption& o : parsed.options) {
    if (o.Is("--output")) {
      settings.options.qel_directory = platform::PathFromBytes(o.value);
    } else if (o.Is("--jobs")) {
      if (!ParseJobs(o.value, settings.options.jobs)) {
        PrintUsageError(
            io, "the number of jobs '" + o.value + "' is not a whole number from 1 to 1024");
        return false;
      }
    } else if (o.Is(kNoSyncOption)) {
      settings.options.durability = Durability::kNoSync;
    } else if (o.Is(kNoWaitOption)) {
      settings.wait = false;
    }
  }
  if (!parsed.error.empty()) {
    PrintUsageError(io, parsed.error);
    return false;
  }
  for (const std::string& f : parsed.files) settings.files.push_back(platform::PathFromBytes(f));
  if (settings.files.empty()) {
    PrintUsageError(io, "no OPT file given");
    return false;
  }
  return true;
}

// Prints each file's messages as the batch reports them: warnings and errors on stderr, the
// files written on stdout.
class PrintingObserver : public BatchObserver {
 public:
  PrintingObserver(const std::vector<std::filesystem::path>& files, Streams io)
      : files_(files), io_(io) {}

  void FileRepeated(std::size_t index, const std::string& warning) override {
    PrintFileWarning(io_, Shown(index), warning);
  }
  void FileFinished(std::size_t index, const ConversionResult& result) override {
    for (const std::string& w : result.warnings) PrintFileWarning(io_, Shown(index), w);
    io_.out << "wrote " << PrintableText(platform::PathBytes(result.prj_path)) << "\n";
    for (const auto& bmp : result.bitmaps) {
      io_.out << "wrote " << PrintableText(platform::PathBytes(bmp)) << "\n";
    }
    io_.out << std::flush;
  }
  void FileFailed(std::size_t index, const std::string& error) override {
    PrintFileError(io_, Shown(index), error);
  }
  void FileCancelled(std::size_t index) override {
    PrintFileError(io_, Shown(index), "not converted: the run was stopped");
  }

 private:
  std::string Shown(std::size_t index) const { return platform::PathBytes(files_[index]); }

  const std::vector<std::filesystem::path>& files_;
  Streams io_;
};

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, Streams io) {
  ConvertSettings settings;
  if (!ParseConvertArgs(args, settings, io)) {
    io.err << CommandUsage("convert");
    return kExitUsage;
  }
  // Said at once, not held back with the file's other messages.
  settings.options.lock_wait = WaitSayingSo(settings.wait, io);
  // Once every file's output is in place the run is done: an interrupt after that must not
  // report a failure.
  std::vector<std::filesystem::path> distinct = settings.files;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  CompleteAfterReplacedSets(distinct.size(), [&err = io.err] {
    err << "durvane: interrupted, but every file was already converted\n" << std::flush;
  });
  PrintingObserver printer(settings.files, io);
  return ConvertFiles(settings.files, settings.options, printer) ? kExitOk : kExitFailed;
}

}  // namespace durvane::cli
