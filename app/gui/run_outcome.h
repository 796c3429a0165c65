// A run of the window's button: the files it works on, one step each, run in order on a
// worker thread; and what each came to, from which the window's status line is made.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <exception>
#include <functional>
#include <vector>

namespace durvane::gui {

// What one file of a run came to.
struct FileOutcome {
  QString name;  // the file as the user chose it
  bool done = false;
  QString summary;  // done: what was written, for the status line
  QString folder;   // done: where the written files are
  QStringList warnings;
  QString headline;  // failed: one plain sentence naming the file and what is wrong
  QString detail;    // failed: the library's precise message
};

struct RunStep {
  QString name;
  // Runs the operation on the file; throws on failure.
  std::function<FileOutcome()> run;
  // The plain sentence for a failure of `run`.
  std::function<QString(const std::exception&)> headline;
};

struct RunPlan {
  bool merge = false;
  QString target;  // the QEL directory, or the first PRJ file
  std::vector<RunStep> steps;
};

struct RunOutcome {
  bool merge = false;
  QString target;
  int total = 0;  // the files the run was asked to do
  bool canceled = false;
  std::vector<FileOutcome> files;  // those it came to, in order

  int Done() const;
  QStringList Warnings() const;
  bool AllDone() const { return Done() == total; }
};

// Runs the steps in order; a failing step does not stop the next. `cancel` is looked at
// between steps, never within one, so every file is finished or not begun. `file_done` hears
// how many steps have ended after each one.
RunOutcome ExecutePlan(const RunPlan& plan, const std::atomic<bool>& cancel,
                       const std::function<void(int)>& file_done);

// The status line after a run: what was written, or how many files were converted and which
// failed, and how many warnings there were.
QString StatusLine(const RunOutcome& outcome);

}  // namespace durvane::gui
