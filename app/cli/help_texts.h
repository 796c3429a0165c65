// The help of the command-line tool, in one place: each command's usage, description and
// options, the rules every command follows, and the main help that gathers them all. The
// manual page durvane(1) is made from the main help.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace durvane::cli {

// One option of a command. The same entry prints its help and drives the parsing of the
// command line (app/cli/option_parser.h), so that the two cannot tell different stories.
struct OptionHelp {
  std::string_view flags;  // "-o, --output QEL_DIR": its names, then its value if it takes one
  std::string_view text;   // what it does, one paragraph
  // The usage error when an option that takes a value comes last, "{}" standing for the
  // name as given.
  std::string_view missing_value = "{} needs a value";
  // Whether the value may follow its short name in the same argument, as in -j4.
  bool attached_value = false;
};

struct CommandHelp {
  std::string_view name;
  std::string_view usage;               // the synopsis, without "Usage: "
  std::string_view summary;             // one line for the list of commands
  std::string_view description;         // what the command does, in full lines
  std::span<const OptionHelp> options;  // its own options; -h, --help and -- are common
};

// Every command, in the order the help lists them.
std::span<const CommandHelp> CommandHelps();

// The command called `name`; null when there is none.
const CommandHelp* FindCommandHelp(std::string_view name);

// What `durvane --help` prints: the synopsis, every command with its options, and the rules.
std::string MainHelp();

// The synopsis alone, printed with a usage error that names no command.
std::string MainUsage();

// What `durvane COMMAND --help` and `durvane help COMMAND` print.
std::string CommandHelpText(const CommandHelp& command);

// "Usage: durvane COMMAND ...", printed after a usage error of that command.
std::string CommandUsage(std::string_view name);

}  // namespace durvane::cli
