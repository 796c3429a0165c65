// durvane: converts OPT models to PRJ files, merges PRJ files and explains both.
#include <cerrno>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/wildcard_arguments.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"

namespace {

using durvane::cli::Streams;

struct Command {
  std::string_view name;
  int (*run)(const std::vector<std::string>& args, Streams io);
};

constexpr Command kCommands[] = {
    {"convert", durvane::cli::RunConvertCommand},
    {"export", durvane::cli::RunExportCommand},
    {"info", durvane::cli::RunInfoCommand},
    {"merge", durvane::cli::RunMergeCommand},
    {"render", durvane::cli::RunRenderCommand},
};

// Whether -h or --help comes before the end of the options.
bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "-h" || a == "--help") return true;
  }
  return false;
}

// durvane help [COMMAND]
int RunHelp(const std::vector<std::string>& args, Streams io) {
  using namespace durvane::cli;
  if (args.empty()) {
    io.out << MainHelp();
    return kExitOk;
  }
  const CommandHelp* command = args.size() == 1 ? FindCommandHelp(args[0]) : nullptr;
  if (!command) {
    PrintUsageError(io, args.size() == 1 ? "unknown command '" + args[0] + "'"
                                         : "help takes at most one command");
    io.err << MainUsage();
    return kExitUsage;
  }
  io.out << CommandHelpText(*command);
  return kExitOk;
}

// Runs the command line; main then checks that what it printed reached its streams.
int Run(int argc, char** argv) {
  using namespace durvane::cli;
  const Streams io{std::cout, std::cerr};
  std::vector<std::string> args = durvane::platform::Arguments(argc, argv);
  if (args.empty()) {
    std::cerr << MainUsage();
    return kExitUsage;
  }
  const std::string name = args.front();
  args.erase(args.begin());
  if (name == "--help" || name == "-h") {
    std::cout << MainHelp();
    return kExitOk;
  }
  if (name == "help") return RunHelp(args, io);
  if (name == "--version") {
    std::cout << "durvane " << DURVANE_VERSION << "\n";
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (command.name != name) continue;
    if (AsksForHelp(args)) {
      const CommandHelp* help = FindCommandHelp(name);
      std::cout << (help ? CommandHelpText(*help) : MainHelp());
      return kExitOk;
    }
    if constexpr (kExpandsWildcards) {
      const std::vector<WildcardFailure> failures = ExpandWildcards(name, args);
      for (const WildcardFailure& f : failures) PrintFileError(io, f.argument, f.message);
      if (!failures.empty()) return kExitFailed;
    }
    return command.run(args, io);
  }
  PrintUsageError(io, "unknown command '" + name + "'");
  std::cerr << MainUsage();
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace durvane::cli;
  // Ctrl-C and SIGTERM remove this run's temporary files before it ends (status 130, 143).
  durvane::InstallInterruptCleanup();
  int status = Run(argc, argv);
  // Output that did not reach its reader (a full disk, a closed pipe) is a failure, as it is
  // for every standard tool: exit 1 with one message, where a message can still go.
  errno = 0;
  if (!std::cout.flush()) {
    const int error = errno;
    std::cerr << "durvane: error: cannot write to standard output"
              << (error != 0 ? ": " + std::generic_category().message(error) : std::string())
              << "\n";
    status = kExitFailed;
  }
  if (!std::cerr.flush()) status = kExitFailed;
  return status;
}
