// The command line when another run holds the output: it waits and says so, or with --no-wait
// fails at once.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/file_lock.h"
#include "tests/support/prj_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

using namespace fixture;

TEST(ConcurrentRuns, TheCommandWaitsSayingSoOrWithNoWaitFailsAtOnce) {
  struct Case {
    const char* command;
    bool no_wait;
  };
  constexpr auto kHeld = std::chrono::milliseconds(500);
  for (const Case c :
       {Case{"merge", false}, Case{"merge", true}, Case{"convert", false}, Case{"convert", true}}) {
    SCOPED_TRACE(std::string(c.command) + (c.no_wait ? " --no-wait" : ""));
    TempDir tmp;
    const auto first = tmp / "first.prj";
    WriteBytes(first, ConvertToPrj(SampleModel()));
    WriteBytes(tmp / "sample.opt", SampleModel().bytes);
    std::filesystem::create_directories(tmp / "qel" / "sample");
    const bool merge = std::string(c.command) == "merge";
    const std::filesystem::path locked = merge ? first : tmp / "qel" / "sample";
    std::vector<std::string> args = {c.command};
    if (c.no_wait) args.push_back("--no-wait");
    if (merge) {
      args.insert(args.end(), {first.string(), first.string()});
    } else {
      args.insert(args.end(), {"-o", (tmp / "qel").string(), (tmp / "sample.opt").string()});
    }

    // Another run holds the lock for a while.
    std::optional<WriterLock> other(std::in_place, locked, LockWait{});
    std::jthread release([&] {
      std::this_thread::sleep_for(kHeld);
      other.reset();
    });
    const auto started = std::chrono::steady_clock::now();
    const ProcessResult run = RunProcess(DURVANE_BIN_DIR "/durvane", args);
    const auto took = std::chrono::steady_clock::now() - started;
    if (c.no_wait) {
      EXPECT_EQ(run.exit_status, 1) << run.err;
      EXPECT_NE(run.err.find("another durvane run is writing it"), std::string::npos) << run.err;
      EXPECT_LT(took, kHeld);
    } else {
      EXPECT_EQ(run.exit_status, 0) << run.err;
      EXPECT_NE(run.err.find("durvane: waiting for another durvane run to finish with '" +
                             locked.string() + "'\n"),
                std::string::npos)
          << run.err;
      EXPECT_GE(took, kHeld / 2);
    }
  }
}

}  // namespace
}  // namespace durvane
