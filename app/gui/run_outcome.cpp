#include "app/gui/run_outcome.h"

#include <new>

namespace durvane::gui {

int RunOutcome::Done() const {
  int done = 0;
  for (const FileOutcome& file : files) done += file.done ? 1 : 0;
  return done;
}

QStringList RunOutcome::Warnings() const {
  QStringList warnings;
  for (const FileOutcome& file : files) {
    for (const QString& warning : file.warnings) {
      warnings.append(total > 1 ? file.name + QStringLiteral(": ") + warning : warning);
    }
  }
  return warnings;
}

RunOutcome ExecutePlan(const RunPlan& plan, const std::atomic<bool>& cancel,
                       const std::function<void(int)>& file_done) {
  RunOutcome outcome;
  outcome.merge = plan.merge;
  outcome.target = plan.target;
  outcome.total = static_cast<int>(plan.steps.size());
  for (const RunStep& step : plan.steps) {
    if (cancel.load()) {
      outcome.canceled = true;
      break;
    }
    FileOutcome file;
    try {
      file = step.run();
      file.done = true;
    } catch (const std::bad_alloc& e) {
      file.headline = step.headline(e);
      file.detail = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
      file.headline = step.headline(e);
      file.detail = QString::fromUtf8(e.what());
    }
    file.name = step.name;
    outcome.files.push_back(std::move(file));
    file_done(static_cast<int>(outcome.files.size()));
  }
  return outcome;
}

QString StatusLine(const RunOutcome& outcome) {
  const qsizetype warnings = outcome.Warnings().size();
  const QString warned = warnings == 0   ? QString()
                         : warnings == 1 ? QStringLiteral(" (1 warning)")
                                         : QStringLiteral(" (%1 warnings)").arg(warnings);
  if (outcome.total == 1 && outcome.files.size() == 1) {
    const FileOutcome& file = outcome.files.front();
    return (file.done ? file.summary : file.headline) + warned;
  }
  QString line = QStringLiteral("converted %1 of %2 OPT files into %3")
                     .arg(outcome.Done())
                     .arg(outcome.total)
                     .arg(outcome.target);
  QStringList failed;
  for (const FileOutcome& file : outcome.files) {
    if (!file.done) failed.append(file.name);
  }
  if (!failed.isEmpty()) line += QStringLiteral("; failed: ") + failed.join(QStringLiteral(", "));
  if (outcome.canceled) line += QStringLiteral("; canceled before the rest");
  return line + warned;
}

}  // namespace durvane::gui
