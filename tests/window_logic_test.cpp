// The window's logic without a toolkit: what a press runs in each mode, the double-click guard,
// input during a run, what the window says after a run, where handed files go, and the undo
// offered after a merge.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/window/file_routing.h"
#include "app/window/window_logic.h"

namespace durvane::window {
namespace {

// Records what the logic asks of the window, one line per request.
class RecordingView : public WindowView {
 public:
  void ShowMode(Mode /*mode*/, const ModeTexts& texts) override {
    events.push_back(std::string("mode ") + texts.top_caption);
  }
  void ShowRunStarted(const RunShown& run) override {
    events.push_back("started " + std::to_string(run.files));
  }
  void ShowRunEnded() override { events.push_back("ended"); }
  void ShowStatus(const StatusShown& shown) override { status = shown; }
  void ShowPreview(const std::string& file) override { events.push_back("preview " + file); }
  void ShowError(const std::string& headline, const std::string& details) override {
    events.push_back("error " + headline + " | " + details);
  }
  void ShowWarnings(const std::string& summary, const std::vector<std::string>& lines) override {
    events.push_back("warnings " + summary + " " + Joined(lines, "/"));
  }
  void Beep() override { events.push_back("beep"); }

  std::vector<std::string> events;
  StatusShown status;
};

// Operations that record the paths they are given and do nothing.
struct Recorded {
  std::vector<std::filesystem::path> converted;
  std::filesystem::path first;
  std::vector<std::filesystem::path> others;
};

Operations Recording(Recorded& recorded) {
  return {[&recorded](const std::vector<std::filesystem::path>& files, const BatchOptions&,
                      BatchObserver&) {
            recorded.converted = files;
            return true;
          },
          [&recorded](const std::filesystem::path& first,
                      const std::vector<std::filesystem::path>& others, const LockWait&,
                      const std::filesystem::path&) {
            recorded.first = first;
            recorded.others = others;
            return merge::MergeResult{};
          }};
}

const Selection kBoth{"/q", {"one.prj"}, "/m", {"a.opt", "b.opt"}};

TEST(WindowLogicTest, PressPlansTheModesRunOrSaysWhatToChoose) {
  struct Case {
    Mode mode;
    Selection selection;
    std::string refusal;  // empty: a run of `files`
    int files;
  };
  const Case cases[] = {
      {Mode::kCreateNew, kBoth, "", 2},
      {Mode::kCreateNew,
       {"/q", {"one.prj"}, "/m", {}},
       "No OPT file is selected. Choose one in the list beside \"Location of *.opt\".",
       0},
      {Mode::kMergePrj, kBoth, "", 1},
      {Mode::kMergePrj,
       {"/q", {}, "/m", {"a.prj"}},
       "No first PRJ file is selected. Choose one in the list beside \"1st PRJ Folder\".",
       0},
      {Mode::kMergePrj,
       {"/q", {"one.prj"}, "/m", {}},
       "No second PRJ file is selected. Choose one in the list beside \"2nd PRJ Folder\".",
       0},
  };
  for (const Case& c : cases) {
    Recorded recorded;
    RecordingView view;
    WindowLogic logic(Recording(recorded), view);
    logic.ChooseMode(c.mode);
    const std::optional<RunPlan> plan = logic.Press(0, 400, c.selection, {});
    ASSERT_EQ(plan.has_value(), c.refusal.empty()) << c.refusal;
    EXPECT_EQ(logic.Running(), plan.has_value());
    if (!plan) {
      EXPECT_EQ(view.events.back(), "error " + c.refusal + " | ");
      continue;
    }
    EXPECT_EQ(plan->files, c.files);
    plan->run(logic.StopToken(), [](int) {});
    const std::filesystem::path m = platform::PathFromBytes("/m");
    if (c.mode == Mode::kCreateNew) {
      EXPECT_EQ(recorded.converted, (std::vector<std::filesystem::path>{m / "a.opt", m / "b.opt"}));
    } else {
      EXPECT_EQ(recorded.first, platform::PathFromBytes("/q") / "one.prj");
      EXPECT_EQ(recorded.others, (std::vector<std::filesystem::path>{m / "a.opt", m / "b.opt"}));
    }
  }
}

// A press within the double-click interval of the press that started the last run is the
// second click of a double click; a press during a run is dropped, and does not count.
TEST(WindowLogicTest, DoubleClickAndPressesDuringARunStartNothing) {
  struct Press {
    std::int64_t at_ms;
    bool finish_before;  // the run going ends before this press
    bool starts;
  };
  const Press presses[] = {
      {1000, false, true}, {1100, false, false},  // during the run
      {1200, true, false},                        // after it, but within the interval
      {1400, false, true},                        // the interval is over
      {5000, true, true},
  };
  Recorded recorded;
  RecordingView view;
  WindowLogic logic(Recording(recorded), view);
  for (const Press& press : presses) {
    if (press.finish_before && logic.Running()) logic.Finish({.files = {{.done = true}}});
    EXPECT_EQ(logic.Press(press.at_ms, 400, kBoth, {}).has_value(), press.starts) << press.at_ms;
    EXPECT_TRUE(!press.starts || logic.Running());
  }
  EXPECT_FALSE(logic.TakesDrop({"/m/a.opt"}));
}

TEST(WindowLogicTest, AfterARunTheWindowSaysWhatItCameTo) {
  const FileOutcome done{
      .name = "a.opt", .done = true, .summary = "a.opt -> /q/a: a.prj", .folder = "/q/a"};
  const FileOutcome warned{.name = "b.opt",
                           .done = true,
                           .summary = "b.opt -> /q/b: b.prj",
                           .folder = "/q/b",
                           .warnings = {"odd"}};
  const FileOutcome failed{.name = "c.opt", .headline = "/m/c.opt is bad.", .detail = "offset"};
  const FileOutcome stopped{.name = "d.opt", .cancelled = true};
  struct Case {
    RunOutcome outcome;
    std::string status;
    std::string open_folder;
    std::string last_event;
  };
  const Case cases[] = {
      {{.target = "/q", .files = {done}}, "a.opt -> /q/a: a.prj", "/q/a", "beep"},
      {{.target = "/q", .files = {done, warned}},
       "converted 2 of 2 OPT files into /q (1 warning)",
       "/q",
       "warnings converted 2 of 2 OPT files into /q (1 warning): b.opt: odd"},
      {{.target = "/q", .files = {failed}},
       "/m/c.opt is bad.",
       "",
       "error /m/c.opt is bad. | offset"},
      {{.target = "/q", .files = {failed, done, failed, stopped}},
       "converted 1 of 4 OPT files into /q; failed: c.opt, c.opt; canceled before the rest",
       "/q",
       "error 'c.opt' and 1 other OPT file could not be converted. | "
       "/m/c.opt is bad.\noffset\n\n/m/c.opt is bad.\noffset"},
      {{.target = "/q", .files = {done, stopped}},
       "converted 1 of 2 OPT files into /q; canceled before the rest",
       "/q",
       "ended"},
  };
  for (const Case& c : cases) {
    Recorded recorded;
    RecordingView view;
    WindowLogic logic(Recording(recorded), view);
    ASSERT_TRUE(logic.Press(0, 400, kBoth, {}));
    logic.Finish(c.outcome);
    EXPECT_FALSE(logic.Running());
    EXPECT_EQ(view.status.text, c.status);
    EXPECT_EQ(view.status.open_folder, c.open_folder) << c.status;
    EXPECT_FALSE(view.status.undo_offered);
    EXPECT_EQ(view.events.back(), c.last_event);
  }
}

// The undo of a merge is offered once the merge is done, is taken by one press, and is given
// up on a new mode or run.
TEST(WindowLogicTest, UndoIsOfferedAfterAMergeUntilSomethingElseHappens) {
  const merge::MergeBackup backup{.first = "/nowhere/one.prj",
                                  .backup = "/nowhere/.one.prj.durvane-undo"};
  const RunOutcome merged{.merge = true,
                          .target = "/nowhere/one.prj",
                          .backup = backup,
                          .files = {{.name = "two.prj", .done = true, .summary = "folded"}}};
  enum class Then { kUndo, kChooseMode, kRun, kFailedMerge };
  struct Case {
    Then then;
    bool undo_runs;
  };
  for (const Case& c : {Case{Then::kUndo, true}, Case{Then::kChooseMode, false},
                        Case{Then::kRun, false}, Case{Then::kFailedMerge, false}}) {
    Recorded recorded;
    RecordingView view;
    WindowLogic logic(Recording(recorded), view);
    logic.ChooseMode(Mode::kMergePrj);
    EXPECT_FALSE(logic.PressUndo({}));
    ASSERT_TRUE(logic.Press(0, 400, kBoth, {}));
    RunOutcome outcome = merged;
    if (c.then == Then::kFailedMerge) outcome.files.front().done = false;
    logic.Finish(outcome);
    EXPECT_EQ(view.status.undo_offered, c.then != Then::kFailedMerge);
    if (c.then != Then::kFailedMerge) {
      EXPECT_EQ(view.events[view.events.size() - 2], "preview /nowhere/one.prj");
    }
    if (c.then == Then::kChooseMode) logic.ChooseMode(Mode::kCreateNew);
    if (c.then == Then::kRun) {
      ASSERT_TRUE(logic.Press(1000, 400, kBoth, {}));
      logic.Finish(merged);
      logic.ChooseMode(Mode::kMergePrj);
    }
    EXPECT_EQ(logic.PressUndo({}).has_value(), c.undo_runs);
    EXPECT_FALSE(logic.PressUndo({}));  // one press takes it
  }
}

TEST(WindowLogicTest, HandedFilesGoToTheirModeAndGroup) {
  struct Case {
    std::vector<std::string> files;
    bool on_top;
    std::string refusal;
    Mode mode;
    bool top;
    std::size_t taken;
    std::string after;
  };
  const Case cases[] = {
      {{"/m/a.opt", "/m/B.OPT"}, true, "", Mode::kCreateNew, false, 2, ""},
      {{"/m/a.prj"}, true, "", Mode::kMergePrj, true, 1, ""},
      {{"/m/a.prj", "/m/b.prj"}, false, "", Mode::kMergePrj, false, 2, ""},
      {{"/m/a.prj", "/m/b.prj"},
       true,
       "",
       Mode::kMergePrj,
       true,
       1,
       "Only one first PRJ file can be chosen: /m/a.prj is."},
      {{"/m/a.opt", "/m/b.prj"},
       false,
       "Drop OPT files (.opt) or PRJ files (.prj), not both: /m/b.prj was not taken.",
       Mode::kCreateNew,
       false,
       0,
       ""},
      {{"/m/a.txt"},
       false,
       "Drop OPT files (.opt) or PRJ files (.prj), not both: /m/a.txt was not taken.",
       Mode::kCreateNew,
       false,
       0,
       ""},
  };
  for (const Case& c : cases) {
    const FileRoute route = RouteDropped(c.files, c.on_top);
    EXPECT_EQ(route.refusal, c.refusal);
    EXPECT_EQ(route.files.size(), c.taken) << c.files.front();
    EXPECT_EQ(route.after, c.after);
    // A drag is taken when it carries model files only, of either kind.
    EXPECT_EQ(AllModelFiles(c.files), c.files.front() != "/m/a.txt");
    if (!c.refusal.empty()) continue;
    EXPECT_EQ(route.mode, c.mode);
    EXPECT_EQ(route.top, c.top);
  }
  EXPECT_EQ(RouteOpened("/m/x.bmp").refusal,
            "/m/x.bmp is neither an OPT file (.opt) nor a PRJ file (.prj).");
  EXPECT_TRUE(RouteOpened("/m/x.prj").top);
  EXPECT_EQ(LeftOutMessage({"/a/x.opt", "/b/y.opt", "/c/z.opt"}, {"/b/y.opt", "/c/z.opt"}),
            "Only files of one folder can be selected together: /b/y.opt, /c/z.opt are not "
            "selected.");
}

TEST(WindowLogicTest, TheBarCountsFilesOfARunOfSeveral) {
  EXPECT_EQ((RunShown{.files = 3, .units = 12}).Label(9), "2 of 3 files");
  EXPECT_EQ((RunShown{.files = 1, .units = 4}).Label(2), "");
}

}  // namespace
}  // namespace durvane::window
