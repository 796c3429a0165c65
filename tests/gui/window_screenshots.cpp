// Saves pictures of the window for the README: each mode, and the status line after a
// conversion. Run on the offscreen platform by scripts/screenshots.sh; the argument is the
// folder the PNG files go to.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "app/gui/durvane_window.h"
#include "app/window/operations.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/craft_model.h"

namespace durvane::gui {
namespace {

// Selects `name` in `list`; false when it is not listed.
bool Select(FileList& list, const QString& name) {
  const int row = static_cast<int>(list.Names().indexOf(name));
  list.SetSelectedIndex(row);
  return row >= 0;
}

bool Save(QWidget& window, const QString& path) {
  QTest::qWait(100);  // let the last changes paint
  const bool saved = window.grab().save(path, "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

int Run(const QString& out_folder) {
  const QString out = QDir(out_folder).absolutePath();
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tour-XXXXXX"));
  if (!root.isValid() || !QDir().mkpath(out)) return 1;
  const QString models = root.filePath("models");
  const QString qel = root.filePath("qel");
  QDir().mkpath(qel);
  for (const char* name : {"sample.opt", "tower.opt"}) {
    testing::WriteFile(models + '/' + name, testing::SampleBytes());
  }
  // The craft is the model converted, merged and previewed: it looks like one.
  const auto craft = fixture::CraftModel();
  for (const char* name : {"craft.opt", "barge.opt"}) {
    testing::WriteFile(models + '/' + name,
                       QByteArray(reinterpret_cast<const char*>(craft.bytes.data()),
                                  static_cast<qsizetype>(craft.bytes.size())));
  }
  // A second PRJ file to merge.
  RunConversion(qel.toStdString(), models.toStdString(), std::string("barge.opt"));
  QDir::setCurrent(root.path());

  Durvane window(LibraryOperations(), std::make_unique<testing::RecordingFeedback>());
  auto& prjdirectory = *window.findChild<FolderList*>("prjdirectory");
  auto& optdirectory = *window.findChild<FolderList*>("optdirectory");
  auto& optfile = *window.findChild<FileList*>("optfile");
  auto& prjfile1 = *window.findChild<FileList*>("prjfile1");
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  prjdirectory.SetPath(qel);
  optdirectory.SetPath(models);
  if (!Select(optfile, "craft.opt")) return 1;
  bool saved = Save(window, out + "/window-create-new.png");

  window.findChild<QPushButton*>("prjwriter")->click();
  if (!QTest::qWaitFor([&] { return !window.IsRunning(); }, 60000)) return 1;
  saved = Save(window, out + "/window-after-conversion.png") && saved;

  window.findChild<QRadioButton*>("opmerge")->click();
  prjdirectory.SetPath(qel + "/craft");
  optdirectory.SetPath(qel + "/barge");
  if (!Select(prjfile1, "craft.prj") || !Select(optfile, "barge.prj")) return 1;
  saved = Save(window, out + "/window-merge-prj.png") && saved;
  return saved ? 0 : 1;
}

}  // namespace
}  // namespace durvane::gui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return durvane::gui::Run(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
}
