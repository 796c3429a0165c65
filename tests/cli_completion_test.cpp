// Bash completion of durvane and durvane-gui, run in bash over a folder of sample files.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "app/cli/help_texts.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

const std::string kScript = DURVANE_SOURCE_DIR "/app/cli/durvane-completion.bash";

// Completes the last of `words` in `folder` as bash does after Tab; returns the candidates.
std::set<std::string> Complete(const std::filesystem::path& folder,
                               const std::vector<std::string>& words) {
  std::vector<std::string> args = {
      "-c",
      "cd \"$1\" && shift && source \"$0\" && COMP_WORDS=(\"$@\") && COMP_CWORD=$(($# - 1)) &&"
      " set -- $(complete -p \"$1\") && \"$3\" && printf '%s\\n' \"${COMPREPLY[@]}\"",
      kScript, folder.string()};
  args.insert(args.end(), words.begin(), words.end());
  const ProcessResult r = RunProcess("/bin/bash", args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::set<std::string> candidates;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) candidates.insert(line);
  }
  return candidates;
}

using Candidates = std::set<std::string>;

TEST(CliCompletion, CompletesCommandsOptionsAndTheFilesEachTakes) {
  TempDir dir;
  for (const char* name : {"a.opt", "B.OPT", "c.prj", "D.Prj", "e.txt", "my ship.opt", "-x.opt"}) {
    WriteBytes(dir / name, {});
  }
  std::filesystem::create_directory(dir / "sub");
  const auto& d = dir.path();
  const Candidates opt = {"a.opt", "B.OPT", "my ship.opt", "-x.opt", "sub"};
  const Candidates prj = {"c.prj", "D.Prj", "sub"};
  Candidates both = opt;
  both.insert(prj.begin(), prj.end());

  EXPECT_EQ(Complete(d, {"durvane", "co"}), Candidates{"convert"});
  EXPECT_EQ(Complete(d, {"durvane", "convert", ""}), opt);
  EXPECT_EQ(Complete(d, {"durvane", "convert", "-j", "2", "a.opt", "my"}),
            Candidates{"my ship.opt"});
  EXPECT_EQ(Complete(d, {"durvane", "convert", "-o", ""}), Candidates{"sub"});
  EXPECT_EQ(Complete(d, {"durvane", "convert", "-j", ""}), Candidates{});
  EXPECT_EQ(Complete(d, {"durvane", "convert", "--", "-"}), Candidates{"-x.opt"});
  EXPECT_EQ(Complete(d, {"durvane", "info", "--json", ""}), both);
  EXPECT_EQ(Complete(d, {"durvane", "merge", "c.prj", ""}), prj);
  EXPECT_EQ(Complete(d, {"durvane", "export", "--format", ""}), (Candidates{"glb", "gltf", "obj"}));
  EXPECT_EQ(Complete(d, {"durvane", "export", "--format", "obj", ""}), both);
  EXPECT_EQ(Complete(d, {"durvane", "export", "-o", ""}), Candidates{"sub"});
  EXPECT_EQ(Complete(d, {"durvane-gui", ""}), both);
  EXPECT_EQ(Complete(d, {"durvane-gui", "--v"}), Candidates{"--version"});
}

// The completion knows every command and option the help names.
TEST(CliCompletion, KnowsEveryCommandAndOptionOfTheHelp) {
  TempDir dir;
  Candidates commands = {"help", "--help", "--version"};
  for (const cli::CommandHelp& command : cli::CommandHelps()) {
    const std::string name(command.name);
    commands.insert(name);
    Candidates options = {"-h", "--help", "--"};
    for (const cli::OptionHelp& option : command.options) {
      std::istringstream flags{std::string(option.flags)};
      for (std::string flag; flags >> flag;) {
        if (flag.ends_with(',')) flag.pop_back();
        if (flag.starts_with('-')) options.insert(flag);
      }
    }
    Candidates completed = Complete(dir.path(), {"durvane", name, "-"});
    completed.insert("-h");  // -h is left out: it would hide the longer options
    EXPECT_EQ(completed, options) << name;
  }
  EXPECT_EQ(Complete(dir.path(), {"durvane", ""}), commands);
}

}  // namespace
}  // namespace durvane
