// What a run of the window's button came to, file by file, and the status line made from it.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "usecases/merge_backup.h"

namespace durvane::gui {

// What one file of a run came to.
struct FileOutcome {
  QString name;  // the file as the user chose it
  bool done = false;
  bool cancelled = false;  // not begun: the user stopped the run
  QString summary;         // done: what was written, for the status line
  QString folder;          // done: where the written files are
  QStringList warnings;
  QString headline;  // failed: one plain sentence naming the file and what is wrong
  QString detail;    // failed: the library's precise message
};

struct RunOutcome {
  bool merge = false;
  bool undo = false;                         // the first file of the last merge put back
  QString target;                            // the QEL directory, or the first PRJ file
  std::optional<merge::MergeBackup> backup;  // a merge's: what undoes it
  std::vector<FileOutcome> files;            // in the order the user chose them

  int Total() const { return static_cast<int>(files.size()); }
  int Done() const;
  bool Cancelled() const;
  bool AllDone() const { return Done() == Total(); }
  // Every file's warnings; with several files, each names its file.
  QStringList Warnings() const;
  // The failed files' headlines, each with its detail on the lines below.
  QStringList Failures() const;
};

// The status line after a run: what was written, or how many files were converted and which
// failed, and how many warnings there were.
QString StatusLine(const RunOutcome& outcome);

}  // namespace durvane::gui
