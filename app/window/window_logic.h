// What the window decides, apart from any toolkit: its mode, the run a press starts and
// whether it starts one, the run's state, progress and cancel, and what the window says after
// it (status line, error dialog, beep, the undo offered after a merge). A face (the Qt window)
// owns the controls and the run's thread, and shows what this asks of it through WindowView.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/window/double_click_guard.h"
#include "app/window/modes.h"

namespace durvane::window {

// How a run shows while it goes.
struct RunShown {
  int files = 0;
  int units = 0;              // the progress bar's range; 0 for a busy bar
  bool cancel_shown = false;  // with several files, which Cancel stops between two of them
  // The bar's text once `done` units are done: "2 of 5 files", or empty for the bar's own
  // percentage.
  std::string Label(int done) const;
};

// The status line and the links beside it.
struct StatusShown {
  std::string text;
  std::string tooltip;      // the whole line, with the warnings and failures, one a line
  std::string open_folder;  // the folder the "Open folder" link opens; empty: no link
  bool undo_offered = false;
};

// What the logic asks of the window's face.
class WindowView {
 public:
  virtual ~WindowView() = default;

  // The captions and lists of `mode`.
  virtual void ShowMode(Mode mode, const ModeTexts& texts) = 0;
  // Every control but Cancel stops taking input; the progress bar replaces the status line.
  virtual void ShowRunStarted(const RunShown& run) = 0;
  // The controls take input again and the lists are read again.
  virtual void ShowRunEnded() = 0;
  virtual void ShowStatus(const StatusShown& status) = 0;
  // Draws `file` in the preview pane, again when it is already drawn (it may have changed).
  virtual void ShowPreview(const std::string& file) = 0;
  // `headline` is one plain sentence, `details` the precise messages shown below it.
  virtual void ShowError(const std::string& headline, const std::string& details) = 0;
  virtual void ShowWarnings(const std::string& summary, const std::vector<std::string>& lines) = 0;
  virtual void Beep() = 0;
};

class WindowLogic {
 public:
  // Starts in Create New mode. Call ChooseMode once the face is ready to show it.
  WindowLogic(Operations operations, WindowView& view);
  // Removes the backup kept to undo the last merge.
  ~WindowLogic();
  WindowLogic(const WindowLogic&) = delete;
  WindowLogic& operator=(const WindowLogic&) = delete;

  Mode CurrentMode() const { return mode_; }
  // Shows `mode`'s lists, clears the status line and gives up the undo of the last merge.
  void ChooseMode(Mode mode);

  // Whether a run is going; the window takes no input meanwhile but Cancel.
  bool Running() const { return running_; }

  // A press of the button at `now_ms`, given the platform's double-click interval: the run to
  // start on a worker thread with StopToken(), now shown as started; none when the press is
  // dropped (during a run, or the second click of a double click) or refused, which is shown.
  std::optional<RunPlan> Press(std::int64_t now_ms, std::int64_t double_click_ms,
                               const Selection& selection, const SayWaiting& say_waiting);
  // The "Undo" link: the run that puts the last merge's first file back; none during a run or
  // when no undo is offered.
  std::optional<RunPlan> PressUndo(const SayWaiting& say_waiting);

  std::stop_token StopToken() const { return stop_.get_token(); }
  // Cancel (or Escape): the run begins no further file.
  void Cancel() { stop_.request_stop(); }

  // The run's end: the window takes input again, the preview draws a merged (or undone) file,
  // and the status line, dialogs and beep say what the run came to.
  void Finish(const RunOutcome& outcome);

  // Whether files dragged over the window are taken: only model files, never during a run.
  bool TakesDrop(const std::vector<std::string>& files) const;

  // Clears the status line and gives up the undo of the last merge.
  void ClearStatus();

 private:
  std::optional<RunPlan> Start(RunPlan plan);
  void DiscardUndo();

  Operations operations_;
  WindowView& view_;
  Mode mode_ = Mode::kCreateNew;
  bool running_ = false;
  DoubleClickGuard guard_;
  std::stop_source stop_;
  // The last merge's backup while its undo is offered.
  std::optional<merge::MergeBackup> undo_backup_;
};

}  // namespace durvane::window
