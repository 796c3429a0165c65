// durvane merge [--no-sync] [--no-wait] FIRST.prj SECOND.prj
#include <exception>
#include <filesystem>
#include <new>
#include <ostream>

#include "app/cli/commands.h"
#include "core/error.h"
#include "merge/merge_run.h"

namespace durvane::cli {
namespace {

constexpr const char* kMergeUsage =
    "usage: durvane merge [--no-sync] [--no-wait] FIRST.prj SECOND.prj\n";

}  // namespace

int RunMergeCommand(const std::vector<std::string>& args, Streams io) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    io.out << kMergeUsage;
    return kExitOk;
  }
  std::vector<std::string> files;
  bool options_done = false;
  Durability durability = Durability::kSync;
  bool wait = true;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a == kNoSyncOption) {
      durability = Durability::kNoSync;
    } else if (!options_done && a == kNoWaitOption) {
      wait = false;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      PrintUsageError(io, "unknown option '" + a + "'");
      io.err << kMergeUsage;
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) {
    PrintUsageError(
        io, files.size() < 2 ? "merge needs two PRJ files" : "merge takes exactly two PRJ files");
    io.err << kMergeUsage;
    return kExitUsage;
  }

  const std::string& first = files[0];
  const std::string& second = files[1];
  try {
    const merge::MergeResult result =
        merge::MergePrj(first, second, durability, WaitSayingSo(wait, io));
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
