// How the window talks to the user outside its controls: dialogs and the beep. The window
// calls this interface so that tests can replace the dialogs with a recorder.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace durvane::gui {

class UserFeedback {
 public:
  virtual ~UserFeedback() = default;

  // A failure or a refused request: `summary` is one plain sentence naming the file and what
  // is wrong, `detail` the precise message (offsets, fields) shown below it.
  virtual void ShowError(const QString& summary, const QString& detail) = 0;
  // A finished run that has something to say: `summary` names the run, one line per warning.
  virtual void ShowWarnings(const QString& summary, const QStringList& warnings) = 0;
  // The system beep that ends a successful run.
  virtual void Beep() = 0;
};

// Modal message boxes over `parent`, and the platform's beep.
class DialogFeedback : public UserFeedback {
 public:
  explicit DialogFeedback(QWidget* parent) : parent_(parent) {}

  void ShowError(const QString& summary, const QString& detail) override;
  void ShowWarnings(const QString& summary, const QStringList& warnings) override;
  void Beep() override;

 private:
  QWidget* parent_;
};

}  // namespace durvane::gui
