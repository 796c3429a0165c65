#include "app/window/window_runs.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <new>

#include "app/window/error_headline.h"
#include "core/platform.h"

namespace durvane::window {
namespace {

using platform::PathBytes;
using platform::PathFromBytes;

// "sample.prj and 5 bitmaps": what a conversion wrote.
std::string Written(const ConversionResult& result) {
  const std::string prj = PathBytes(result.prj_path.filename());
  const std::size_t bitmaps = result.bitmaps.size();
  if (bitmaps == 0) return prj;
  if (bitmaps == 1) return prj + " and 1 bitmap";
  return prj + " and " + std::to_string(bitmaps) + " bitmaps";
}

// Fills the run's outcome from the batch's events and counts its stages as progress.
class OutcomeObserver : public BatchObserver {
 public:
  OutcomeObserver(RunOutcome& outcome, const std::vector<std::string>& paths,
                  const ReportProgress& report)
      : outcome_(outcome), paths_(paths), report_(report), passed_(outcome.files.size()) {}

  void FileProgress(std::size_t index, ConversionStage /*stage*/) override { Advance(index, 1); }
  void FileRepeated(std::size_t index, const std::string& warning) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.done = true;
    file.summary = file.name + ": " + warning;
    file.warnings.push_back(warning);
    Finish(index);
  }
  void FileFinished(std::size_t index, const ConversionResult& result) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.done = true;
    file.folder = PathBytes(result.output_folder);
    file.summary = file.name + " -> " + file.folder + ": " + Written(result);
    file.warnings = result.warnings;
    Finish(index);
  }
  void FileFailed(std::size_t index, const std::string& error) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.detail = error;
    file.headline = ConversionHeadline(paths_[index], file.detail);
    Finish(index);
  }
  void FileCancelled(std::size_t index) override {
    if (index >= outcome_.files.size()) return;
    outcome_.files[index].cancelled = true;
    Finish(index);
  }

 private:
  void Advance(std::size_t index, int stages) {
    if (index >= passed_.size() || stages <= 0) return;
    passed_[index] += stages;
    report_(done_ += stages);
  }
  // A file that ended counts all its stages, also when it failed before passing them.
  void Finish(std::size_t index) {
    if (index < passed_.size()) Advance(index, kConversionStages - passed_[index].load());
  }

  RunOutcome& outcome_;
  const std::vector<std::string>& paths_;
  const ReportProgress& report_;
  // FileProgress comes from the converting threads.
  std::vector<std::atomic<int>> passed_;
  std::atomic<int> done_{0};
};

// Waits for another run's lock, saying so through `say_waiting` when given.
LockWait WaitSaying(const SayWaiting& say_waiting) {
  LockWait wait;
  if (say_waiting) {
    wait.on_wait = [say_waiting](const std::filesystem::path& path) {
      say_waiting("waiting for another durvane run to finish with '" + PathBytes(path) + "'");
    };
  }
  return wait;
}

}  // namespace

std::string InFolder(const std::string& folder, const std::string& name) {
  return PathBytes(PathFromBytes(folder) / PathFromBytes(name));
}

RunPlan ConversionRun(const Operations& operations, const std::string& qel_directory,
                      const std::string& opt_folder, const std::vector<std::string>& names,
                      const SayWaiting& say_waiting) {
  RunPlan plan;
  plan.files = static_cast<int>(names.size());
  plan.units = plan.files * kConversionStages;
  plan.run = [convert_files = operations.convert_files, qel_directory, opt_folder, names,
              say_waiting](std::stop_token stop, const ReportProgress& report) {
    RunOutcome outcome;
    outcome.target = qel_directory;
    std::vector<std::string> paths;
    std::vector<std::filesystem::path> files;
    for (const std::string& name : names) {
      FileOutcome file;
      file.name = name;
      outcome.files.push_back(file);
      paths.push_back(InFolder(opt_folder, name));
      files.push_back(PathFromBytes(paths.back()));
    }
    BatchOptions options;
    options.qel_directory = PathFromBytes(qel_directory);
    options.stop = std::move(stop);
    options.lock_wait = WaitSaying(say_waiting);
    OutcomeObserver observer(outcome, paths, report);
    try {
      convert_files(files, options, observer);
    } catch (const std::exception& e) {
      // The batch reports each file's failure itself; this is a failure of the whole call.
      for (std::size_t i = 0; i < paths.size(); ++i) {
        FileOutcome& file = outcome.files[i];
        if (file.done || file.cancelled || !file.headline.empty()) continue;
        file.detail = e.what();
        file.headline = ConversionHeadline(paths[i], file.detail);
      }
    }
    return outcome;
  };
  return plan;
}

RunPlan MergeRun(const Operations& operations, const std::string& first,
                 const std::vector<std::string>& others, const SayWaiting& say_waiting) {
  RunPlan plan;
  plan.files = 1;
  plan.run = [merge = operations.merge, first, others, say_waiting](
                 std::stop_token /*stop*/, const ReportProgress& /*report*/) {
    RunOutcome outcome;
    outcome.merge = true;
    outcome.target = first;
    FileOutcome file;
    std::vector<std::string> names;
    std::vector<std::filesystem::path> paths;
    for (const std::string& other : others) {
      paths.push_back(PathFromBytes(other));
      names.push_back(PathBytes(paths.back().filename()));
    }
    file.name = Joined(names, ", ");
    const std::string blamed_first = others.empty() ? std::string() : others.front();
    try {
      const std::filesystem::path first_path = PathFromBytes(first);
      const merge::MergeResult result =
          merge(first_path, paths, WaitSaying(say_waiting), UndoBackupName(first_path));
      outcome.backup = result.backup;
      file.done = true;
      file.folder = PathBytes(first_path.parent_path());
      file.summary = "folded " + std::to_string(result.polygon_count - result.first_polygon_count) +
                     " polygons of " + file.name + " into " + PathBytes(first_path.filename()) +
                     ": now " + std::to_string(result.polygon_count);
      file.warnings = result.warnings;
    } catch (const std::bad_alloc& e) {
      file.headline = MergeHeadline(first, blamed_first, e);
      file.detail = "Out of memory.";
    } catch (const std::exception& e) {
      // The headline names the later file the merge refused, or else the first one given.
      std::string blamed = blamed_first;
      if (const auto* refused = dynamic_cast<const merge::MergeFileError*>(&e)) {
        const std::string named = PathBytes(refused->file());
        if (std::find(others.begin(), others.end(), named) != others.end()) blamed = named;
      }
      file.headline = MergeHeadline(first, blamed, e);
      file.detail = e.what();
    }
    outcome.files.push_back(file);
    return outcome;
  };
  return plan;
}

RunPlan UndoRun(const merge::MergeBackup& backup, const SayWaiting& say_waiting) {
  RunPlan plan;
  plan.files = 1;
  plan.run = [backup, say_waiting](std::stop_token /*stop*/, const ReportProgress& /*report*/) {
    RunOutcome outcome;
    outcome.undo = true;
    outcome.target = PathBytes(backup.first);
    FileOutcome file;
    file.name = PathBytes(backup.first.filename());
    try {
      merge::UndoMerge(backup, Durability::kSync, WaitSaying(say_waiting));
      file.done = true;
      file.summary = "put " + file.name + " back as it was before the merge";
    } catch (const std::exception& e) {
      // The library's sentence names both files and says why; it leads.
      std::string message = e.what();
      if (!message.empty()) {
        message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
      }
      file.headline = message.ends_with('.') ? message : message + '.';
    }
    outcome.files.push_back(file);
    return outcome;
  };
  return plan;
}

std::filesystem::path UndoBackupName(const std::filesystem::path& first) {
  std::filesystem::path name = first.parent_path();
  name /= ".";
  name += first.filename();
  name += ".durvane-undo";
  return name;
}

}  // namespace durvane::window
