// The rules every durvane command follows: its own help, usage errors (exit 2), files that
// fail (exit 1), and '--'.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/cli/help_texts.h"
#include "tests/support/prj_fixture.h"
#include "tests/support/run_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

const std::string kDurvane = DURVANE_BIN_DIR "/durvane";

// Each command's options, as a user would list them from the manual.
struct CommandOptions {
  std::string name;
  std::vector<std::string> options;
};
const CommandOptions kCommandOptions[] = {
    {"convert", {"-o", "-j", "--no-sync", "--no-wait"}},
    {"merge", {"--backup", "--no-sync", "--no-wait"}},
    {"info", {"--json"}},
    {"render", {"--view", "--yaw", "--pitch", "--size", "--flat", "-o"}},
    {"export", {"--format", "-o"}},
};

TEST(CliUsage, EveryCommandPrintsItsOwnHelpNamingEachOfItsOptions) {
  ASSERT_EQ(std::size(kCommandOptions), cli::CommandHelps().size());
  for (const CommandOptions& command : kCommandOptions) {
    const std::string& name = command.name;
    SCOPED_TRACE(name);
    const ProcessResult help = RunProcess(kDurvane, {name, "--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: durvane " + name + " ", 0), 0u) << help.out;
    for (const std::string& option : command.options) {
      // Named in the usage line and described in a line of its own.
      EXPECT_NE(help.out.find("[" + option), std::string::npos) << option;
      EXPECT_NE(help.out.find("\n  " + option), std::string::npos) << option;
      // And the parser knows it: never an unknown option.
      const ProcessResult used = RunProcess(kDurvane, {name, option});
      EXPECT_EQ(used.err.find("unknown option"), std::string::npos) << option << ": " << used.err;
    }
    const std::vector<std::vector<std::string>> asks = {
        {name, "-h"}, {"help", name}, {name, "x.opt", "--no-such", "--help"}};
    for (const auto& args : asks) {
      const ProcessResult r = RunProcess(kDurvane, args);
      EXPECT_EQ(r.exit_status, 0) << args.back();
      EXPECT_EQ(r.out, help.out) << args.back();
    }
    // After '--', --help is a file name (render and export take one file, merge needs two).
    std::vector<std::string> files = {name, "--", "--help"};
    if (name != "render" && name != "export") files.push_back("--help");
    EXPECT_EQ(RunProcess(kDurvane, files).exit_status, 1);
  }
}

TEST(CliUsage, TheMainHelpDescribesEveryCommand) {
  const ProcessResult r = RunProcess(kDurvane, {"--help"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(RunProcess(kDurvane, {"help"}).out, r.out);
  for (const cli::CommandHelp& command : cli::CommandHelps()) {
    const std::string name(command.name);
    EXPECT_NE(r.out.find(std::string(command.usage) + "\n"), std::string::npos) << name;
    // The command's entry begins with its description.
    const std::string start(command.description.substr(0, command.description.find(' ', 40)));
    EXPECT_NE(r.out.find("\n  " + name + std::string(10 - name.size(), ' ') + start),
              std::string::npos)
        << name;
  }
}

// One command line and what it must give.
struct UsageCase {
  std::vector<std::string> args;
  int exit_status;
  std::string error;  // a piece of stderr
};

TEST(CliUsage, OneRuleForEveryCommand) {
  TempDir dir, qel;
  // Files whose content fits the command but whose extension does not.
  WriteBytes(dir / "model.txt", SampleModel().bytes);
  PrjLayoutDesc prj;
  prj.Polygon(0, 1);
  prj.ff04 = {{0, 2}};
  prj.ff05 = {{0, 3}};
  WriteBytes(dir / "first.prj", BuildPrjFile(prj));
  WriteBytes(dir / "second.dat", BuildPrjFile(prj));
  const std::string model_txt = (dir / "model.txt").string();
  const std::string first = (dir / "first.prj").string();
  const std::string second_dat = (dir / "second.dat").string();
  const std::string out = qel.path().string();

  const std::vector<UsageCase> cases = {
      // Usage errors: the command line itself is wrong.
      {{}, 2, "Usage: durvane convert"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"help", "frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"help", "convert", "merge"}, 2, "help takes at most one command"},
      {{"convert", "-o", out}, 2, "Usage: durvane convert"},
      {{"convert", "-o", out, "--bogus", model_txt}, 2, "unknown option '--bogus'"},
      {{"convert", "-o"}, 2, "needs a folder"},
      {{"info"}, 2, "Usage: durvane info"},
      {{"info", "--bogus", model_txt}, 2, "unknown option '--bogus'"},
      {{"merge", first}, 2, "Usage: durvane merge"},
      {{"merge", "--bogus", first, first}, 2, "unknown option '--bogus'"},
      // A file of another extension fails, whatever it holds.
      {{"convert", "-o", out, model_txt}, 1, "'" + model_txt + "': the file name"},
      {{"info", model_txt}, 1, "'" + model_txt + "': not explained"},
      {{"merge", first, second_dat}, 1, "'" + second_dat + "': not merged"},
      {{"merge", second_dat, first}, 1, "'" + second_dat + "': not merged"},
      // '--' ends the options: what follows is a file, here one that does not exist.
      {{"convert", "-o", out, "--", "-x.opt"}, 1, "'-x.opt'"},
      {{"info", "--", "-x.opt"}, 1, "'-x.opt'"},
      {{"merge", "--", first, "-x.prj"}, 1, "'-x.prj'"},
      {{"render", "-o", (qel / "x.png").string(), model_txt}, 1, "'" + model_txt + "': not drawn"},
      {{"render", "--bogus", first}, 2, "unknown option '--bogus'"},
      {{"render", "-o", (qel / "x.png").string(), "--", "-x.prj"}, 1, "'-x.prj'"},
  };
  for (const UsageCase& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    const ProcessResult r = RunProcess(kDurvane, c.args);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
  }
  // None of these wrote a file.
  EXPECT_TRUE(std::filesystem::is_empty(qel.path()));
  EXPECT_EQ(ReadBytes(dir / "first.prj"), BuildPrjFile(prj));
}

// Where the output goes: a picture on standard output with "-o -"; output that cannot be
// written (a full disk behind stdout, a file size limit) is a failure with one message and
// leaves no file behind.
TEST(CliUsage, OutputThatCannotBeWrittenFailsWithOneMessage) {
  TempDir dir;
  WriteBytes(dir / "sample.opt", SampleModel().bytes);
  const std::string durvane = kDurvane, opt = (dir / "sample.opt").string();
  struct Case {
    const char* name;
    std::string shell;  // run by /bin/sh
    int exit_status;
    std::string out_start, error;
  };
  const Case cases[] = {
      {"picture to standard output", durvane + " render -o - " + opt, 0, "\x89PNG", ""},
      {"standard output on a full disk", durvane + " info " + opt + " > /dev/full", 1, "",
       "durvane: error: cannot write to standard output: No space left on device\n"},
      {"a file size limit",
       "ulimit -f 1; " + durvane + " render -o " + dir.path().string() + "/big.png " + opt, 1, "",
       "File too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunProcess("/bin/sh", {"-c", c.shell});
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_EQ(r.out.substr(0, c.out_start.size()), c.out_start);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(ListTree(dir.path()), std::vector<std::string>{"sample.opt"});
  }
}

}  // namespace
}  // namespace durvane
