// Wildcards in a command's file arguments, expanded against a real folder: which arguments are
// expanded, into what, and which fail. The tool does this only on Windows; the expansion itself
// runs here on every system.
#include "app/cli/wildcard_arguments.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/platform.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using cli::ExpandWildcards;
using cli::WildcardFailure;
using fixture::TempDir;

// A folder with model files, a hidden one, a folder whose name matches "*.opt" and a name that
// begins with '-'.
void MakeModels(const TempDir& dir) {
  for (const char* name : {"a.opt", "B.opt", "c.prj", "-dash.opt", ".hidden.opt"}) {
    fixture::WriteBytes(dir / name, fixture::TextBytes(name));
  }
  std::filesystem::create_directory(dir / "folder.opt");
}

// Runs the test's body in `dir` and goes back to the folder it started in.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& dir)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;
  ~CurrentFolder() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

TEST(WildcardArguments, ExpandsFileArgumentsIntoSortedFilesAfterTheOptions) {
  TempDir dir;
  MakeModels(dir);
  const CurrentFolder in_models(dir.path());
  struct Case {
    std::string command;
    std::vector<std::string> args;
    std::vector<std::string> expanded;
  };
  for (const Case& c : {
           // Option values are no file arguments; a name beginning with '-' stays a file.
           Case{"convert",
                {"-o", "q*", "-j", "2", "*.opt"},
                {"-o", "q*", "-j", "2", "--", "-dash.opt", "a.opt", "B.opt"}},
           // Files keep their places around the expansion; letters match in any case.
           Case{"info", {"x.opt", "?.PRJ", "y.prj"}, {"--", "x.opt", "c.prj", "y.prj"}},
           Case{"merge",
                {"--no-sync", "--", "c.prj", "*.PRJ"},
                {"--no-sync", "--", "c.prj", "c.prj"}},
           Case{"render", {"--size", "8x8", "./[ab].opt"}, {"--size", "8x8", "./[ab].opt"}},
           // Nothing to expand, or a usage error for the command to report: left as given.
           Case{"convert", {"-o", "*", "a.opt"}, {"-o", "*", "a.opt"}},
           Case{"convert", {"--bogus", "*.opt"}, {"--bogus", "*.opt"}},
           Case{"convert", {"-o"}, {"-o"}},
       }) {
    SCOPED_TRACE(c.command + " " + testing::PrintToString(c.args));
    std::vector<std::string> args = c.args;
    EXPECT_TRUE(ExpandWildcards(c.command, args).empty());
    EXPECT_EQ(args, c.expanded);
  }
  // The expanded arguments parse into the same options and the files in order.
  std::vector<std::string> args = {"-j", "2", "*.opt"};
  ASSERT_TRUE(ExpandWildcards("convert", args).empty());
  const cli::ParsedArgs parsed = cli::ParseArgs(cli::FindCommandHelp("convert")->options, args);
  EXPECT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.options.size(), 1u);
  EXPECT_EQ(parsed.options[0].value, "2");
  EXPECT_EQ(parsed.files, (std::vector<std::string>{"-dash.opt", "a.opt", "B.opt"}));
}

TEST(WildcardArguments, KeepsTheFolderAsTypedAndRefusesWhatMatchesNothing) {
  TempDir dir;
  MakeModels(dir);
  const std::string folder = platform::PathBytes(dir.path()) + "/";
  std::vector<std::string> args = {folder + "*.OPT"};
  EXPECT_TRUE(ExpandWildcards("info", args).empty());
  EXPECT_EQ(args, (std::vector<std::string>{"--", folder + "-dash.opt", folder + "a.opt",
                                            folder + "B.opt"}));

  struct Case {
    std::string argument;
    std::string message;
  };
  for (const Case& c : {
           Case{folder + "*.bmp", "no file matches this pattern"},
           Case{folder + "*hidden*", "no file matches this pattern"},
           Case{folder + "folder.op?", "no file matches this pattern"},
           Case{folder + "f*/a.opt",
                "no such file: a wildcard may stand only in the file's name, not in the name "
                "of a folder"},
       }) {
    SCOPED_TRACE(c.argument);
    const std::vector<std::string> given = {"a.opt", c.argument, folder + "*.opt"};
    std::vector<std::string> args = given;
    const std::vector<WildcardFailure> failures = ExpandWildcards("convert", args);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].argument, c.argument);
    EXPECT_EQ(failures[0].message, c.message);
    EXPECT_EQ(args, given);
  }
  std::vector<std::string> missing = {folder + "none/*.opt"};
  const std::vector<WildcardFailure> failures = ExpandWildcards("convert", missing);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(failures[0].message.starts_with("cannot list the folder: ")) << failures[0].message;
}

#ifndef _WIN32
// Windows names cannot hold '*' or '?'; POSIX names can, and a name that exists is no pattern.
TEST(WildcardArguments, TakesANameThatExistsAsWrittenAsItIs) {
  TempDir dir;
  for (const char* name : {"ship?.opt", "ship1.opt"}) {
    fixture::WriteBytes(dir / name, fixture::TextBytes(name));
  }
  const std::string folder = platform::PathBytes(dir.path()) + "/";
  std::vector<std::string> args = {folder + "ship?.opt"};
  EXPECT_TRUE(ExpandWildcards("convert", args).empty());
  EXPECT_EQ(args, std::vector<std::string>{folder + "ship?.opt"});
}
#endif

}  // namespace
}  // namespace durvane
