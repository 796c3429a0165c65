// durvane-gui: the window over the library's conversion and merge.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "app/gui/durvane_window.h"
#include "app/gui/open_file.h"
#include "app/window/operations.h"

namespace {

// Also the source of the manual page durvane-gui(1).
constexpr const char* kHelp =
    "Usage: durvane-gui [FILE]\n"
    "Opens the Durvane window, which converts OPT model files into PRJ files plus one\n"
    "8-bit BMP per texture, and merges one PRJ file into another, as durvane(1) does.\n"
    "\n"
    "With FILE, the window opens at that file: an .opt file is selected in Create New\n"
    "mode in the bottom lists, a .prj file in Merge PRJ mode as the first file in the\n"
    "top lists.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME, are taken too.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the window system is needed, so that they work without a display.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kHelp;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "durvane-gui " << DURVANE_VERSION << "\n";
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("durvane-gui"));
  QApplication::setApplicationVersion(QStringLiteral(DURVANE_VERSION));
  // Lets the desktop match the window to its entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("durvane-gui"));

  // What Qt left of the arguments: at most one file, '--' before it when it begins with '-'.
  QStringList files;
  bool options_done = false;
  for (const QString& a : QApplication::arguments().mid(1)) {
    if (!options_done && a == QLatin1String("--")) {
      options_done = true;
    } else if (!options_done && a.startsWith('-') && a.size() > 1) {
      std::cerr << "durvane-gui: error: unknown option '" << a.toStdString() << "'\n"
                << "Usage: durvane-gui [FILE]\n";
      return 2;
    } else {
      files.append(a);
    }
  }
  if (files.size() > 1) {
    std::cerr << "durvane-gui: error: only one file can be opened\n"
              << "Usage: durvane-gui [FILE]\n";
    return 2;
  }

  durvane::gui::Durvane window(durvane::gui::LibraryOperations());
  if (!files.isEmpty()) {
    const QString problem = durvane::gui::OpenFile(window, files.front());
    // Its dialog opens over the window once the window is on the screen.
    if (!problem.isEmpty()) window.ReportWhenShown(problem);
  }
  window.show();
  return app.exec();
}
