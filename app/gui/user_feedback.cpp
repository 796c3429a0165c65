#include "app/gui/user_feedback.h"

#include <QApplication>
#include <QMessageBox>

namespace durvane::gui {
namespace {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& summary,
                 const QString& detail) {
  QMessageBox box(icon, QStringLiteral("Durvane"), summary, QMessageBox::Ok, parent);
  box.setInformativeText(detail);
  box.exec();
}

}  // namespace

void DialogFeedback::ShowError(const QString& summary, const QString& detail) {
  ShowMessage(parent_, QMessageBox::Critical, summary, detail);
}

void DialogFeedback::ShowWarnings(const QString& summary, const QStringList& warnings) {
  ShowMessage(parent_, QMessageBox::Warning, summary, warnings.join(QLatin1Char('\n')));
}

void DialogFeedback::Beep() {
  QApplication::beep();
}

}  // namespace durvane::gui
