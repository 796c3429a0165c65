// durvane merge [--no-sync] FIRST.prj SECOND.prj
#include <exception>
#include <filesystem>
#include <new>
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/file_kind.h"
#include "app/cli/help_texts.h"
#include "core/error.h"
#include "merge/merge_run.h"

namespace durvane::cli {
int RunMergeCommand(const std::vector<std::string>& args, Streams io) {
  std::vector<std::string> files;
  bool options_done = false;
  Durability durability = Durability::kSync;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a == kNoSyncOption) {
      durability = Durability::kNoSync;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      PrintUsageError(io, "unknown option '" + a + "'");
      io.err << CommandUsage("merge");
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) {
    PrintUsageError(
        io, files.size() < 2 ? "merge needs two PRJ files" : "merge takes exactly two PRJ files");
    io.err << CommandUsage("merge");
    return kExitUsage;
  }

  const std::string& first = files[0];
  const std::string& second = files[1];
  for (const std::string& f : files) {
    if (KindOf(f) != FileKind::kPrj) {
      PrintFileError(io, f, "not merged: the file name does not end in \".prj\"");
      return kExitFailed;
    }
  }
  try {
    const merge::MergeResult result = merge::MergePrj(first, second, durability);
    for (const std::string& w : result.warnings) PrintFileWarning(io, first, w);
    io.out << "merged " << second << " into " << first << ": " << result.polygon_count
           << " polygons, " << result.bytes_written << " bytes, top-level indices moved by "
           << result.index_shift << "\n";
    return kExitOk;
  } catch (const merge::MergeFileError& e) {
    PrintFileError(io, e.file().string(), e.detail());
  } catch (const std::bad_alloc&) {
    PrintFileError(io, first, "out of memory");
  } catch (const std::exception& e) {
    PrintFileError(io, first, e.what());
  }
  return kExitFailed;
}

}  // namespace durvane::cli
