// Splits a command's arguments into its options and its files, by the command's option table
// (the one its help prints): every command parses the same way, and knows exactly the options
// its help names.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/help_texts.h"

namespace durvane::cli {

// One option met on the command line.
struct GivenOption {
  const OptionHelp* option;
  std::string name;   // as given: "-j" or "--jobs", also for "-j4"
  std::string value;  // empty for an option that takes none

  // Whether this is the option that has `name` among its names.
  bool Is(std::string_view name) const;
};

struct ParsedArgs {
  std::vector<GivenOption> options;  // in the order given
  std::vector<std::string> files;
  // Where each file stood among the arguments, and where the "--" that ended the options did
  // (the number of arguments when none did).
  std::vector<std::size_t> file_positions;
  std::size_t options_end = 0;
  // The usage error that ended the parse (an unknown option, a missing value); empty when
  // there is none. What came before it is kept, so that a command can first report a wrong
  // value given earlier, as it would have met it first.
  std::string error;
};

// An argument that begins with '-' is an option, but for "-" itself and every argument after
// "--"; an option that takes a value takes the next argument, whatever it is.
ParsedArgs ParseArgs(std::span<const OptionHelp> options, const std::vector<std::string>& args);

// Whether `name` is one of the names in `option`'s flags.
bool HasName(const OptionHelp& option, std::string_view name);

}  // namespace durvane::cli
