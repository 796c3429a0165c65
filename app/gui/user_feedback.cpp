#include "app/gui/user_feedback.h"

#include <QApplication>
#include <QMessageBox>

namespace durvane::gui {
namespace {

// `summary` leads; `detail` is shown below it, or behind "Show Details..." when it is the
// library's precise message.
void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& summary,
                 const QString& detail, bool detail_folded) {
  QMessageBox box(icon, QStringLiteral("Durvane"), summary, QMessageBox::Ok, parent);
  if (detail_folded) {
    box.setDetailedText(detail);
  } else {
    box.setInformativeText(detail);
  }
  box.exec();
}

}  // namespace

void DialogFeedback::ShowError(const QString& summary, const QString& detail) {
  ShowMessage(parent_, QMessageBox::Critical, summary, detail, true);
}

void DialogFeedback::ShowWarnings(const QString& summary, const QStringList& warnings) {
  ShowMessage(parent_, QMessageBox::Warning, summary, warnings.join(QLatin1Char('\n')), false);
}

void DialogFeedback::Beep() {
  QApplication::beep();
}

}  // namespace durvane::gui
