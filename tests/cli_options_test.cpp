// The one option parser of the command-line tool, driven by the commands' help tables.
#include <gtest/gtest.h>

#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"

namespace durvane {
namespace {

using namespace cli;

// A table of each kind of option: a value with a message of its own and an attached form,
// a value with the common message, an option without a value, a short name alone.
constexpr OptionHelp kOptions[] = {
    {.flags = "-j, --jobs N",
     .text = "",
     .missing_value = "option {} needs a number",
     .attached_value = true},
    {.flags = "--size WxH", .text = ""},
    {.flags = "--flat", .text = ""},
    {.flags = "-o OUT", .text = ""},
};

// The parse, in one line: each option as "ENTRY:NAME=VALUE" (its entry's place in kOptions,
// the name as given), the files, the error.
std::string Shown(const ParsedArgs& parsed) {
  std::string text;
  for (const GivenOption& o : parsed.options) {
    text += std::to_string(o.option - kOptions) + ":" + o.name + "=" + o.value + " ";
  }
  text += "|";
  for (const std::string& f : parsed.files) text += " " + f;
  return text + " | " + parsed.error;
}

struct ParseCase {
  std::vector<std::string> args;
  std::string parsed;
};

TEST(CliOptions, SplitsOptionsFromFilesByTheTable) {
  const std::vector<ParseCase> cases = {
      {{"a.opt", "--flat", "b.opt"}, "2:--flat= | a.opt b.opt | "},
      // After "--" every argument is a file, "--" too; "-" alone is always one.
      {{"--", "-x.opt", "--", "--flat"}, "| -x.opt -- --flat | "},
      {{"-", "--flat"}, "2:--flat= | - | "},
      // A value is the next argument, whatever it is.
      {{"-o", "--", "a"}, "3:-o=-- | a | "},
      {{"--size", "-j", "a"}, "1:--size=-j | a | "},
      {{"-o", "-"}, "3:-o=- | | "},
      // Repeated, each is kept in order, under either name and in the attached form.
      {{"-j2", "--jobs", "3", "-j", "4", "-j"},
       "0:-j=2 0:--jobs=3 0:-j=4 | | option -j needs a number"},
      {{"-j"}, "| | option -j needs a number"},
      {{"a.opt", "--jobs"}, "| a.opt | option --jobs needs a number"},
      {{"--flat", "--size"}, "2:--flat= | | --size needs a value"},
      {{"a.opt", "-o"}, "| a.opt | -o needs a value"},
      // The first unknown option ends the parse, after files or other options.
      {{"a.opt", "--bogus", "b.opt", "--flat"}, "| a.opt | unknown option '--bogus'"},
      {{"--flat", "--fla", "--bogus"}, "2:--flat= | | unknown option '--fla'"},
      // Only an option said to take an attached value takes one; a long name never does.
      {{"-oout.png"}, "| | unknown option '-oout.png'"},
      {{"--jobs4"}, "| | unknown option '--jobs4'"},
      {{"--flat=1"}, "| | unknown option '--flat=1'"},
      {{"-jx"}, "0:-j=x | | "},
      {{"-h"}, "| | unknown option '-h'"},
  };
  for (const ParseCase& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    EXPECT_EQ(Shown(ParseArgs(kOptions, c.args)), c.parsed);
  }
}

// Each command's own table gives the messages the command has always given.
TEST(CliOptions, EachCommandsTableGivesItsMessages) {
  struct Case {
    std::string command;
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"convert", {"a.opt", "-o"}, "option -o needs a folder"},
      {"convert", {"--output"}, "option --output needs a folder"},
      {"convert", {"-j"}, "option -j needs a number of jobs"},
      {"convert", {"--jobs"}, "option --jobs needs a number of jobs"},
      {"convert", {"-j8", "--json"}, "unknown option '--json'"},
      {"render", {"--view"}, "--view needs a value"},
      {"render", {"-o"}, "-o needs a value"},
      {"render", {"--flat", "--no-sync"}, "unknown option '--no-sync'"},
      {"info", {"--json", "-j4"}, "unknown option '-j4'"},
      {"merge", {"--no-wait", "--no-sync", "--output"}, "unknown option '--output'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command + " " + c.args.front());
    const CommandHelp* command = FindCommandHelp(c.command);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(ParseArgs(command->options, c.args).error, c.error);
  }
}

}  // namespace
}  // namespace durvane
