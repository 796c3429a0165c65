// Helpers for the window's tests: a recorder in place of the dialogs and the beep, and small
// file-tree builders.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>

#include "app/gui/user_feedback.h"

namespace durvane::gui::testing {

// Records what the window would have shown, in order.
class RecordingFeedback : public UserFeedback {
 public:
  struct Message {
    QString summary;
    QString detail;
  };

  void ShowError(const QString& summary, const QString& detail) override {
    errors.append({summary, detail});
    events.append(QStringLiteral("error"));
  }
  void ShowWarnings(const QString& summary, const QStringList& lines) override {
    warnings.append({summary, lines.join('\n')});
    events.append(QStringLiteral("warnings"));
  }
  void Beep() override { events.append(QStringLiteral("beep")); }

  int Beeps() const { return static_cast<int>(events.count(QStringLiteral("beep"))); }

  QList<Message> errors;
  QList<Message> warnings;
  QStringList events;
};

// Writes `bytes` to `path`, making the folders on the way.
inline void WriteFile(const QString& path, const QByteArray& bytes = {}) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadWhole(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The names of the files in `folder`, sorted.
inline QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

}  // namespace durvane::gui::testing
