#include "app/gui/run_outcome.h"

#include <algorithm>

namespace durvane::gui {

int RunOutcome::Done() const {
  return static_cast<int>(
      std::count_if(files.begin(), files.end(), [](const FileOutcome& file) { return file.done; }));
}

bool RunOutcome::Cancelled() const {
  return std::any_of(files.begin(), files.end(),
                     [](const FileOutcome& file) { return file.cancelled; });
}

QStringList RunOutcome::Warnings() const {
  QStringList warnings;
  for (const FileOutcome& file : files) {
    for (const QString& warning : file.warnings) {
      warnings.append(Total() > 1 ? file.name + QStringLiteral(": ") + warning : warning);
    }
  }
  return warnings;
}

QStringList RunOutcome::Failures() const {
  QStringList failures;
  for (const FileOutcome& file : files) {
    if (!file.done && !file.cancelled) {
      failures.append(file.headline + QLatin1Char('\n') + file.detail);
    }
  }
  return failures;
}

QString StatusLine(const RunOutcome& outcome) {
  const qsizetype warnings = outcome.Warnings().size();
  const QString warned = warnings == 0   ? QString()
                         : warnings == 1 ? QStringLiteral(" (1 warning)")
                                         : QStringLiteral(" (%1 warnings)").arg(warnings);
  if (outcome.Total() == 1) {
    const FileOutcome& file = outcome.files.front();
    return (file.done ? file.summary : file.headline) + warned;
  }
  QString line = QStringLiteral("converted %1 of %2 OPT files into %3")
                     .arg(outcome.Done())
                     .arg(outcome.Total())
                     .arg(outcome.target);
  QStringList failed;
  for (const FileOutcome& file : outcome.files) {
    if (!file.done && !file.cancelled) failed.append(file.name);
  }
  if (!failed.isEmpty()) line += QStringLiteral("; failed: ") + failed.join(QStringLiteral(", "));
  if (outcome.Cancelled()) line += QStringLiteral("; canceled before the rest");
  return line + warned;
}

}  // namespace durvane::gui
