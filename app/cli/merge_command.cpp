// durvane merge [--backup] [--no-sync] [--no-wait] FIRST.prj SECOND.prj [MORE.prj...]
#include <exception>
#include <filesystem>
#include <new>
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/error.h"
#include "core/file_names.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"
#include "core/printable_text.h"
#include "usecases/merge_run.h"

namespace durvane::cli {
int RunMergeCommand(const std::vector<std::string>& args, Streams io) {
  const ParsedArgs parsed = ParseArgs(FindCommandHelp("merge")->options, args);
  if (!parsed.error.empty()) {
    PrintUsageError(io, parsed.error);
    io.err << CommandUsage("merge");
    return kExitUsage;
  }
  Durability durability = Durability::kSync;
  bool wait = true;
  bool backup = false;
  for (const GivenOption& o : parsed.options) {
    if (o.Is(kBackupOption)) backup = true;
    if (o.Is(kNoSyncOption)) durability = Durability::kNoSync;
    if (o.Is(kNoWaitOption)) wait = false;
  }
  const std::vector<std::string>& files = parsed.files;
  if (files.size() < 2) {
    PrintUsageError(io, "merge needs two PRJ files");
    io.err << CommandUsage("merge");
    return kExitUsage;
  }

  const std::string& first = files[0];
  std::vector<std::filesystem::path> others;
  for (std::size_t i = 1; i < files.size(); ++i)
    others.push_back(platform::PathFromBytes(files[i]));
  for (const std::string& f : files) {
    if (ModelFileKindOf(platform::PathFromBytes(f)) != ModelFileKind::kPrj) {
      PrintFileError(io, f, "not merged: the file name does not end in \".prj\"");
      return kExitFailed;
    }
  }
  // Once FIRST is replaced the merge is done: an interrupt after that must not report a
  // failure, which would invite merging the same files again.
  CompleteAfterReplacedSets(1, [&err = io.err, &first] {
    err << ("durvane: interrupted, but the merge into '" + PrintableText(first) +
            "' was already complete\n")
        << std::flush;
  });
  try {
    const std::filesystem::path first_path = platform::PathFromBytes(first);
    const merge::MergeResult result =
        merge::MergePrjFiles(first_path, others, durability, WaitSayingSo(wait, io),
                             backup ? merge::GnuBackupName(first_path) : std::filesystem::path());
    for (const std::string& w : result.warnings) PrintFileWarning(io, first, w);
    std::string folded, shifts;
    for (std::size_t i = 0; i < others.size(); ++i) {
      const char* separator = i == 0 ? "" : i + 1 == others.size() ? " and " : ", ";
      folded += separator + PrintableText(platform::PathBytes(others[i]));
      shifts += separator + std::to_string(result.index_shifts[i]);
    }
    io.out << "merged " << folded << " into " << PrintableText(first) << ": "
           << result.polygon_count << " polygons, " << result.bytes_written
           << " bytes, top-level indices moved by " << shifts << "\n";
    return kExitOk;
  } catch (const merge::MergeFileError& e) {
    PrintFileError(io, platform::PathBytes(e.file()), e.detail());
  } catch (const std::bad_alloc&) {
    PrintFileError(io, first, "out of memory");
  } catch (const std::exception& e) {
    PrintFileError(io, first, e.what());
  }
  return kExitFailed;
}

}  // namespace durvane::cli
