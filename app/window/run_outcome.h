// What a run of the window's button came to, file by file, and what the window says about it:
// the status line, and the error dialog of a run that failed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "usecases/merge_backup.h"

namespace durvane::window {

// What one file of a run came to. Text is UTF-8; paths are PathBytes.
struct FileOutcome {
  std::string name;  // the file as the user chose it
  bool done = false;
  bool cancelled = false;  // not begun: the user stopped the run
  std::string summary;     // done: what was written, for the status line
  std::string folder;      // done: where the written files are
  std::vector<std::string> warnings;
  std::string headline;  // failed: one plain sentence naming the file and what is wrong
  std::string detail;    // failed: the library's precise message
};

struct RunOutcome {
  bool merge = false;
  bool undo = false;                         // the first file of the last merge put back
  std::string target;                        // the QEL directory, or the first PRJ file
  std::optional<merge::MergeBackup> backup;  // a merge's: what undoes it
  std::vector<FileOutcome> files;            // in the order the user chose them

  int Total() const { return static_cast<int>(files.size()); }
  int Done() const;
  bool Cancelled() const;
  bool AllDone() const { return Done() == Total(); }
  // Every file's warnings; with several files, each names its file.
  std::vector<std::string> Warnings() const;
  // The failed files' headlines, each with its detail on the lines below.
  std::vector<std::string> Failures() const;
};

// The status line after a run: what was written, or how many files were converted and which
// failed, and how many warnings there were.
std::string StatusLine(const RunOutcome& outcome);

// An error dialog: one plain sentence, and the precise messages below it.
struct ErrorReport {
  std::string headline;
  std::string details;
};

// The error dialog after a run, none when every file was done or the user stopped the run
// with no failure. With several files the headline names the first that failed and how many
// others did.
std::optional<ErrorReport> FailureReport(const RunOutcome& outcome);

// `lines` joined with `separator` between them.
std::string Joined(const std::vector<std::string>& lines, const std::string& separator);

}  // namespace durvane::window
