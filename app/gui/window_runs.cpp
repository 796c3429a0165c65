#include "app/gui/window_runs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <new>
#include <vector>

#include "app/gui/error_headline.h"
#include "app/gui/local_path.h"

namespace durvane::gui {
namespace {

QStringList FromStrings(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list.append(QString::fromStdString(line));
  return list;
}

// "sample.prj and 5 bitmaps": what a conversion wrote.
QString Written(const ConversionResult& result) {
  const QString prj = ShownPath(result.prj_path.filename());
  const std::size_t bitmaps = result.bitmaps.size();
  if (bitmaps == 0) return prj;
  if (bitmaps == 1) return prj + QStringLiteral(" and 1 bitmap");
  return prj + QStringLiteral(" and %1 bitmaps").arg(bitmaps);
}

// Fills the run's outcome from the batch's events and counts its stages as progress.
class OutcomeObserver : public BatchObserver {
 public:
  OutcomeObserver(RunOutcome& outcome, const QStringList& paths, const ReportProgress& report)
      : outcome_(outcome), paths_(paths), report_(report), passed_(outcome.files.size()) {}

  void FileProgress(std::size_t index, ConversionStage /*stage*/) override { Advance(index, 1); }
  void FileRepeated(std::size_t index, const std::string& warning) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.done = true;
    file.summary = file.name + QStringLiteral(": ") + QString::fromStdString(warning);
    file.warnings.append(QString::fromStdString(warning));
    Finish(index);
  }
  void FileFinished(std::size_t index, const ConversionResult& result) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.done = true;
    file.folder = ShownPath(result.output_folder);
    file.summary = QStringLiteral("%1 -> %2: %3").arg(file.name, file.folder, Written(result));
    file.warnings = FromStrings(result.warnings);
    Finish(index);
  }
  void FileFailed(std::size_t index, const std::string& error) override {
    if (index >= outcome_.files.size()) return;
    FileOutcome& file = outcome_.files[index];
    file.detail = QString::fromStdString(error);
    file.headline = ConversionHeadline(paths_[static_cast<qsizetype>(index)], file.detail);
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
  const QStringList& paths_;
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
      say_waiting(QStringLiteral("waiting for another durvane run to finish with '%1'")
                      .arg(ShownPath(path)));
    };
  }
  return wait;
}

}  // namespace

RunPlan ConversionRun(const Operations& operations, const QString& qel_directory,
                      const QString& opt_folder, const QStringList& names,
                      const SayWaiting& say_waiting) {
  RunPlan plan;
  plan.files = static_cast<int>(names.size());
  plan.units = plan.files * kConversionStages;
  plan.run = [convert_files = operations.convert_files, qel_directory, opt_folder, names,
              say_waiting](std::stop_token stop, const ReportProgress& report) {
    RunOutcome outcome;
    outcome.target = qel_directory;
    QStringList paths;
    std::vector<std::filesystem::path> files;
    for (const QString& name : names) {
      FileOutcome file;
      file.name = name;
      outcome.files.push_back(file);
      paths.append(QDir(opt_folder).filePath(name));
      files.push_back(LocalPath(paths.back()));
    }
    BatchOptions options;
    options.qel_directory = LocalPath(qel_directory);
    options.stop = std::move(stop);
    options.lock_wait = WaitSaying(say_waiting);
    OutcomeObserver observer(outcome, paths, report);
    try {
      convert_files(files, options, observer);
    } catch (const std::exception& e) {
      // The batch reports each file's failure itself; this is a failure of the whole call.
      for (qsizetype i = 0; i < paths.size(); ++i) {
        FileOutcome& file = outcome.files[static_cast<std::size_t>(i)];
        if (file.done || file.cancelled || !file.headline.isEmpty()) continue;
        file.detail = QString::fromUtf8(e.what());
        file.headline = ConversionHeadline(paths[i], file.detail);
      }
    }
    return outcome;
  };
  return plan;
}

RunPlan MergeRun(const Operations& operations, const QString& first, const QStringList& others,
                 const SayWaiting& say_waiting) {
  RunPlan plan;
  plan.files = 1;
  plan.run = [merge = operations.merge, first, others, say_waiting](
                 std::stop_token /*stop*/, const ReportProgress& /*report*/) {
    RunOutcome outcome;
    outcome.merge = true;
    outcome.target = first;
    FileOutcome file;
    QStringList names;
    std::vector<std::filesystem::path> paths;
    for (const QString& other : others) {
      names.append(QFileInfo(other).fileName());
      paths.push_back(LocalPath(other));
    }
    file.name = names.join(QStringLiteral(", "));
    try {
      const merge::MergeResult result =
          merge(LocalPath(first), paths, WaitSaying(say_waiting), UndoBackupName(LocalPath(first)));
      outcome.backup = result.backup;
      file.done = true;
      file.folder = QFileInfo(first).path();
      file.summary = QStringLiteral("folded %1 polygons of %2 into %3: now %4")
                         .arg(result.polygon_count - result.first_polygon_count)
                         .arg(file.name, QFileInfo(first).fileName())
                         .arg(result.polygon_count);
      file.warnings = FromStrings(result.warnings);
    } catch (const std::bad_alloc& e) {
      file.headline = MergeHeadline(first, others.value(0), e);
      file.detail = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
      // The headline names the later file the merge refused, or else the first one given.
      QString blamed = others.value(0);
      if (const auto* refused = dynamic_cast<const merge::MergeFileError*>(&e)) {
        const QString named = ShownPath(refused->file());
        if (others.contains(named)) blamed = named;
      }
      file.headline = MergeHeadline(first, blamed, e);
      file.detail = QString::fromUtf8(e.what());
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
    outcome.target = ShownPath(backup.first);
    FileOutcome file;
    file.name = ShownPath(backup.first.filename());
    try {
      merge::UndoMerge(backup, Durability::kSync, WaitSaying(say_waiting));
      file.done = true;
      file.summary = QStringLiteral("put %1 back as it was before the merge").arg(file.name);
    } catch (const std::exception& e) {
      // The library's sentence names both files and says why; it leads.
      QString message = QString::fromUtf8(e.what());
      if (!message.isEmpty()) message[0] = message[0].toUpper();
      file.headline = message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
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

}  // namespace durvane::gui
