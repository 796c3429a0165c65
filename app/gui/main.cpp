// durvane-gui: the window over the library's conversion and merge.
#include <QApplication>

#include "app/gui/durvane_window.h"
#include "app/gui/operations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("durvane-gui"));
  QApplication::setApplicationVersion(QStringLiteral(DURVANE_VERSION));
  // Lets the desktop match the window to its entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("durvane-gui"));
  durvane::gui::Durvane window(durvane::gui::LibraryOperations());
  window.show();
  return app.exec();
}
