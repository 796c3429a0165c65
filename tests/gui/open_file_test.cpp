// Opening a file from the command line, as "Open with" does: the mode, the lists' folder and
// the selection it leaves, and the files it refuses.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/gui/open_file.h"
#include "tests/gui/gui_test_support.h"

namespace durvane::gui {
namespace {

using testing::Harness;
using testing::WriteFile;

class OpenFileTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    start_folder_ = QDir::currentPath();
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    top_ = QDir::cleanPath(root_->path());
    WriteFile(top_ + "/models/Ship.OPT");
    WriteFile(top_ + "/models/wing.opt");
    WriteFile(top_ + "/models/.hidden.opt");
    WriteFile(top_ + "/models/notes.txt");
    WriteFile(top_ + "/qel/old.prj");
    WriteFile(top_ + "/qel/Other.PRJ");
    QVERIFY(QDir(top_).mkpath("folder.prj"));
    QVERIFY(QDir::setCurrent(top_));
  }
  void cleanup() { QDir::setCurrent(start_folder_); }

  void opensInTheModeThatTakesTheFile_data() {
    QTest::addColumn<QString>("file");  // relative to the current folder, or absolute
    QTest::addColumn<bool>("merge");
    QTest::addColumn<QString>("folder");  // of the mode's lists, relative to the top
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("problem");  // the start of the message; empty when opened

    QTest::newRow("opt") << "models/Ship.OPT" << false << "models"
                         << "Ship.OPT"
                         << "";
    QTest::newRow("opt, absolute") << "@/models/wing.opt" << false << "models"
                                   << "wing.opt"
                                   << "";
    QTest::newRow("prj") << "qel/Other.PRJ" << true << "qel"
                         << "Other.PRJ"
                         << "";
    QTest::newRow("another kind") << "models/notes.txt" << false << ""
                                  << ""
                                  << "models/notes.txt is neither";
    QTest::newRow("missing") << "models/gone.opt" << false << ""
                             << ""
                             << "The file";
    QTest::newRow("a folder") << "folder.prj" << false << ""
                              << ""
                              << "The file";
    QTest::newRow("hidden") << "models/.hidden.opt" << false << "models"
                            << ""
                            << "The file models/.hidden.opt is not listed";
  }
  void opensInTheModeThatTakesTheFile() {
    QFETCH(QString, file);
    QFETCH(bool, merge);
    QFETCH(QString, folder);
    QFETCH(QString, selected);
    QFETCH(QString, problem);
    file.replace('@', top_);
    const QString expected_folder = QDir::cleanPath(top_ + "/" + folder);

    Harness h;
    QVERIFY(h.Show());
    const QString message = OpenFile(*h.window, file);
    QVERIFY2(problem.isEmpty() ? message.isEmpty() : message.startsWith(problem),
             qPrintable(QStringLiteral("[%1]").arg(message)));
    QCOMPARE(h.opmerge().isChecked(), merge);
    QCOMPARE(h.prjfile1().isVisible(), merge);
    FolderList& folders = merge ? h.prjdirectory() : h.optdirectory();
    FileList& files = merge ? h.prjfile1() : h.optfile();
    QCOMPARE(folders.Path(), expected_folder);
    QCOMPARE(files.Path(), expected_folder);
    QCOMPARE(files.SelectedName(), selected);
    if (!selected.isEmpty()) QCOMPARE(QApplication::focusWidget(), &files);
    // The other group's lists stay at the start folder.
    QCOMPARE((merge ? h.optdirectory() : h.prjdirectory()).Path(), top_);
  }

 private:
  QString start_folder_;
  std::unique_ptr<QTemporaryDir> root_;  // fresh for every test
  QString top_;
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::OpenFileTest)
#include "open_file_test.moc"
