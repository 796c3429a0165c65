#include "app/gui/error_headline.h"

#include <QFile>
#include <QRegularExpression>
#include <new>

#include "app/gui/local_path.h"
#include "core/error.h"
#include "usecases/merge_run.h"

namespace durvane::gui {
namespace {

// "it ends at byte 100, inside the node tree" when `detail` says the file is cut short;
// empty otherwise.
QString CutShort(const QString& detail) {
  static const QRegularExpression ends(QStringLiteral("the file ends at 0x([0-9a-fA-F]+)"));
  const QRegularExpressionMatch match = ends.match(detail);
  if (!match.hasMatch()) return {};
  bool ok = false;
  const qulonglong size = match.captured(1).toULongLong(&ok, 16);
  if (!ok) return {};
  QString reason = QStringLiteral("it ends at byte %1").arg(size);
  if (detail.contains(QStringLiteral("node"), Qt::CaseInsensitive)) {
    reason += QStringLiteral(", inside the node tree");
  } else if (detail.contains(QStringLiteral("section"), Qt::CaseInsensitive)) {
    reason += QStringLiteral(", inside a section");
  }
  return reason;
}

// The innermost part of a message built as "context: context: what".
QString Innermost(const QString& message) {
  const qsizetype colon = message.lastIndexOf(QStringLiteral(": "));
  return colon < 0 ? message : message.mid(colon + 2);
}

}  // namespace

QString ConversionHeadline(const QString& opt_path, const QString& message) {
  if (message.isEmpty()) return QStringLiteral("%1 could not be converted.").arg(opt_path);
  if (message.compare(QStringLiteral("out of memory"), Qt::CaseInsensitive) == 0) {
    return QStringLiteral("%1 could not be converted: the computer ran out of memory.")
        .arg(opt_path);
  }
  // A file that breaks the OPT layout: "offset 0x59f: what is wrong".
  static const QRegularExpression at_offset(QStringLiteral("^offset 0x([0-9a-fA-F]+): (.*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch format = at_offset.match(message);
  if (format.hasMatch()) {
    const QString detail = format.captured(2);
    const QString cut = CutShort(detail);
    bool ok = false;
    const qulonglong offset = format.captured(1).toULongLong(&ok, 16);
    return QStringLiteral("%1 is not a valid OPT file: %2.")
        .arg(opt_path, !cut.isEmpty() ? cut
                       : ok ? QStringLiteral("%1 (at byte %2)").arg(Innermost(detail)).arg(offset)
                            : Innermost(detail));
  }
  return QStringLiteral("%1 could not be converted: %2.").arg(opt_path, Innermost(message));
}

QString MergeHeadline(const QString& first, const QString& second, const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return QStringLiteral("%1 could not be merged into %2: the computer ran out of memory.")
        .arg(second, first);
  }
  if (const auto* failed = dynamic_cast<const merge::MergeFileError*>(&error)) {
    const QString file = ShownPath(failed->file());
    const QString detail = QString::fromStdString(failed->detail());
    const QString cut = CutShort(detail);
    if (!cut.isEmpty()) return QStringLiteral("%1 is not a valid PRJ file: %2.").arg(file, cut);
    if (detail.startsWith(QStringLiteral("cannot "))) {
      return QStringLiteral("%1 could not be merged: %2.").arg(file, Innermost(detail));
    }
    return QStringLiteral("%1 cannot be merged: %2.").arg(file, Innermost(detail));
  }
  const QString message = QString::fromUtf8(error.what());
  return QStringLiteral("%1 could not be merged into %2%3")
      .arg(second, first,
           message.isEmpty() ? QStringLiteral(".") : ": " + Innermost(message) + '.');
}

}  // namespace durvane::gui
