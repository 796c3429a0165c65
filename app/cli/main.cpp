// durvane: converts OPT models to PRJ files and merges PRJ files.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "core/interrupt_cleanup.h"

namespace {

constexpr const char* kUsage =
    "usage: durvane convert [-o QEL_DIR] [-j N] [--no-sync] [--no-wait] FILE.opt...\n"
    "       durvane info [--json] FILE.opt|FILE.prj...\n"
    "       durvane merge [--no-sync] [--no-wait] FIRST.prj SECOND.prj\n"
    "       durvane --help | --version\n"
    "\n"
    "  convert   convert each OPT file into QEL_DIR/<name>/: <name>.prj and one BMP per\n"
    "            texture (QEL_DIR defaults to the current directory); -j N converts\n"
    "            N files at once (default: one per core)\n"
    "  merge     fold SECOND.prj into FIRST.prj, in place\n"
    "\n"
    "  --no-sync  return once the system holds the written files, without waiting for\n"
    "             them to reach the disk: faster, but a power cut soon after may leave\n"
    "             them empty (a failure of durvane itself never does)\n"
    "  --no-wait  fail at once when another durvane run is writing the same output,\n"
    "             instead of waiting for it to finish\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace durvane::cli;
  // Ctrl-C and SIGTERM remove this run's temporary files before it ends (status 130, 143).
  durvane::InstallInterruptCleanup();
  const Streams io{std::cout, std::cerr};
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kExitOk;
  }
  if (command == "--version") {
    std::cout << "durvane " << DURVANE_VERSION << "\n";
    return kExitOk;
  }
  if (command == "convert") return RunConvertCommand(args, io);
  if (command == "info") return RunInfoCommand(args, io);
  if (command == "merge") return RunMergeCommand(args, io);
  PrintUsageError(io, "unknown command '" + command + "'");
  std::cerr << kUsage;
  return kExitUsage;
}
