// durvane: converts OPT models to PRJ files and merges PRJ files.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: durvane convert [-o QEL_DIR] [-j N] [--no-sync] FILE.opt...\n"
    "       durvane info [--json] FILE.opt|FILE.prj...\n"
    "       durvane merge [--no-sync] FIRST.prj SECOND.prj\n"
    "       durvane render [--view V] [--yaw D] [--pitch D] [--size WxH] [--flat]\n"
    "                      [-o OUT.png] FILE.opt|FILE.prj\n"
    "       durvane --help | --version\n"
    "\n"
    "  convert   convert each OPT file into QEL_DIR/<name>/: <name>.prj and one BMP per\n"
    "            texture (QEL_DIR defaults to the current directory); -j N converts\n"
    "            N files at once (default: one per core)\n"
    "  merge     fold SECOND.prj into FIRST.prj, in place\n"
    "  render    draw the model of an OPT or PRJ file into a PNG picture\n"
    "\n"
    "  --no-sync  return once the system holds the written files, without waiting for\n"
    "             them to reach the disk: faster, but a power cut soon after may leave\n"
    "             them empty (a failure of durvane itself never does)\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace durvane::cli;
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
  if (command == "render") return RunRenderCommand(args, io);
  PrintUsageError(io, "unknown command '" + command + "'");
  std::cerr << kUsage;
  return kExitUsage;
}
