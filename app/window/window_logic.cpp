#include "app/window/window_logic.h"

#include <algorithm>
#include <stdexcept>

#include "app/window/file_routing.h"

namespace durvane::window {

std::string RunShown::Label(int done) const {
  if (files <= 1) return {};
  const int per_file = units / std::max(1, files);
  const int done_files = per_file > 0 ? done / per_file : 0;
  return std::to_string(done_files) + " of " + std::to_string(files) + " files";
}

WindowLogic::WindowLogic(Operations operations, WindowView& view)
    : operations_(std::move(operations)), view_(view) {}

WindowLogic::~WindowLogic() {
  DiscardUndo();
}

void WindowLogic::ChooseMode(Mode mode) {
  mode_ = mode;
  view_.ShowMode(mode, TextsOf(mode));
  ClearStatus();
}

void WindowLogic::ClearStatus() {
  view_.ShowStatus({});
  DiscardUndo();
}

std::optional<RunPlan> WindowLogic::Press(std::int64_t now_ms, std::int64_t double_click_ms,
                                          const Selection& selection,
                                          const SayWaiting& say_waiting) {
  if (running_ || !guard_.Admit(now_ms, double_click_ms)) return std::nullopt;
  RunPlan plan;
  try {
    plan = PlanFor(mode_, selection, operations_, say_waiting);
  } catch (const std::exception& e) {
    // What to do about it belongs with what is wrong, not behind "Show Details".
    view_.ShowError(e.what(), {});
    return std::nullopt;
  }
  return Start(std::move(plan));
}

std::optional<RunPlan> WindowLogic::PressUndo(const SayWaiting& say_waiting) {
  if (running_ || !undo_backup_) return std::nullopt;
  const merge::MergeBackup backup = *undo_backup_;
  // The run owns the backup now: a refused undo keeps it for the user, named in the message.
  undo_backup_.reset();
  return Start(UndoRun(backup, say_waiting));
}

std::optional<RunPlan> WindowLogic::Start(RunPlan plan) {
  // A new operation gives up the undo of the last merge.
  DiscardUndo();
  running_ = true;
  stop_ = std::stop_source();
  view_.ShowRunStarted({.files = plan.files, .units = plan.units, .cancel_shown = plan.files > 1});
  return plan;
}

void WindowLogic::Finish(const RunOutcome& outcome) {
  // Input given at the very end of the run is dropped while the face ends it.
  view_.ShowRunEnded();
  running_ = false;
  const bool all_done = outcome.AllDone();
  // After a merge the preview draws the result.
  if ((outcome.merge || outcome.undo) && all_done) view_.ShowPreview(outcome.target);
  if (outcome.merge && all_done) undo_backup_ = outcome.backup;

  StatusShown status;
  status.text = StatusLine(outcome);
  const std::vector<std::string> warnings = outcome.Warnings();
  std::vector<std::string> tooltip{status.text};
  tooltip.insert(tooltip.end(), warnings.begin(), warnings.end());
  const std::vector<std::string> failures = outcome.Failures();
  tooltip.insert(tooltip.end(), failures.begin(), failures.end());
  // A line cut short in the middle is shown whole on hovering, with the warnings and failures.
  status.tooltip = Joined(tooltip, "\n");
  if (!outcome.merge && !outcome.undo && outcome.Done() > 0) {
    status.open_folder = outcome.Total() == 1 ? outcome.files.front().folder : outcome.target;
  }
  status.undo_offered = outcome.merge && all_done && outcome.backup.has_value();
  view_.ShowStatus(status);

  if (all_done) {
    view_.Beep();
    if (!warnings.empty()) view_.ShowWarnings(status.text + ':', warnings);
    return;
  }
  // A run the user stopped with no failure: the status line says how far it came.
  if (const std::optional<ErrorReport> report = FailureReport(outcome)) {
    view_.ShowError(report->headline, report->details);
  }
}

bool WindowLogic::TakesDrop(const std::vector<std::string>& files) const {
  return !running_ && AllModelFiles(files);
}

void WindowLogic::DiscardUndo() {
  if (!undo_backup_) return;
  merge::DiscardMergeBackup(*undo_backup_);
  undo_backup_.reset();
}

}  // namespace durvane::window
