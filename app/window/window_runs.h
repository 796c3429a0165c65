// The runs behind the window's button, prepared on the window's thread from the chosen paths
// and run on a worker thread: Create New over the selected OPT files, Merge PRJ over the two
// selected PRJ files, and the undo of the last merge.
#pragma once

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/window/operations.h"
#include "app/window/run_outcome.h"

namespace durvane::window {

// Says, from any thread, how many units of the run's work are done.
using ReportProgress = std::function<void(int done)>;
// Says, from any thread, that the run waits for another durvane run to finish with a file.
using SayWaiting = std::function<void(const std::string& message)>;

struct RunPlan {
  int files = 0;
  int units = 0;  // the work to do, in units ReportProgress counts; 0 when the run cannot say
  // Never throws: every failure is in the outcome. Once `stop` is requested no further file
  // is begun.
  std::function<RunOutcome(std::stop_token stop, const ReportProgress& report)> run;
};

// Converts `names` of `opt_folder` into `qel_directory`; every stage of every file is a unit.
// Paths and names are PathBytes.
RunPlan ConversionRun(const Operations& operations, const std::string& qel_directory,
                      const std::string& opt_folder, const std::vector<std::string>& names,
                      const SayWaiting& say_waiting = {});

// Folds `others` into `first`, in order, in one pass, keeping `first` as it was under
// UndoBackupName(first) for the outcome's backup.
RunPlan MergeRun(const Operations& operations, const std::string& first,
                 const std::vector<std::string>& others, const SayWaiting& say_waiting = {});

// Puts the first file of a merge back as it was, from the merge's backup.
RunPlan UndoRun(const merge::MergeBackup& backup, const SayWaiting& say_waiting = {});

// Where the window keeps the first file of a merge to undo it: a hidden name beside it, of the
// window's own, so that no file of the user's (such as a backup "FIRST.prj~") is replaced.
std::filesystem::path UndoBackupName(const std::filesystem::path& first);

// `name` in `folder`, both PathBytes.
std::string InFolder(const std::string& folder, const std::string& name);

}  // namespace durvane::window
