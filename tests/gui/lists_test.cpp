// The drive, folder and file lists on their own.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/drive_list.h"
#include "app/gui/file_list.h"
#include "app/gui/folder_list.h"
#include "tests/gui/gui_test_support.h"

namespace durvane::gui {
namespace {

using testing::WriteFile;

class ListsTest : public QObject {
  Q_OBJECT

 private slots:
  void patternMatching_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("same case") << "ship.opt"
                               << "*.opt" << true;
    QTest::newRow("upper-case name") << "ship.OPT"
                                     << "*.opt" << true;
    QTest::newRow("upper-case pattern") << "Ship.opt"
                                        << "*.OPT" << true;
    QTest::newRow("mixed case") << "SHIP.Prj"
                                << "*.prj" << true;
    QTest::newRow("extension must end the name") << "ship.opt.bak"
                                                 << "*.opt" << false;
    QTest::newRow("dot is literal") << "shipopt"
                                    << "*.opt" << false;
    QTest::newRow("question mark is one character") << "ab.opt"
                                                    << "?.opt" << false;
    QTest::newRow("second of two patterns") << "a.PRJ"
                                            << "*.opt;*.prj" << true;
    QTest::newRow("neither of two patterns") << "a.txt"
                                             << "*.opt;*.prj" << false;
    QTest::newRow("star matches all") << "anything"
                                      << "*" << true;
  }
  void patternMatching() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(MatchesPattern(name, pattern), matches);
  }

  void fileListShowsMatchingFilesIgnoringCase() {
    QTemporaryDir root;
    for (const char* name : {"b.opt", "a.OPT", "C.Opt", "d.txt", "e.opt.bak", ".hidden.opt"}) {
      WriteFile(root.filePath(name));
    }
    QDir(root.path()).mkdir("folder.opt");  // folders are not files

    FileList list;
    list.SetPattern("*.opt");
    list.SetPath(root.path());
    QCOMPARE(list.Names(), QStringList({"a.OPT", "b.opt", "C.Opt"}));
    QCOMPARE(list.SelectedIndex(), -1);
    QCOMPARE(list.SelectedName(), QString());

    list.SetPattern("*.TXT");
    QCOMPARE(list.Names(), QStringList({"d.txt"}));
  }

  void fileListSelection() {
    QTemporaryDir root;
    for (const char* name : {"a.opt", "b.opt", "c.opt"}) WriteFile(root.filePath(name));
    FileList list;
    list.SetPattern("*.opt");
    list.SetPath(root.path());

    list.SetSelectedIndex(1);
    QCOMPARE(list.SelectedIndex(), 1);
    QCOMPARE(list.SelectedName(), QString("b.opt"));

    // A refresh keeps the selected name, wherever it now is.
    WriteFile(root.filePath("0.opt"));
    list.Refresh();
    QCOMPARE(list.SelectedName(), QString("b.opt"));
    QCOMPARE(list.SelectedIndex(), 2);

    // ... unless it is gone.
    QVERIFY(QFile::remove(root.filePath("b.opt")));
    list.Refresh();
    QCOMPARE(list.SelectedIndex(), -1);

    // A new pattern keeps a selected name that still matches it, and a pattern used before
    // gets its selection back; a new folder starts with nothing selected.
    list.SetSelectedIndex(0);
    list.SetPattern("*.OPT");
    QCOMPARE(list.SelectedName(), QString("0.opt"));
    list.SetPattern("*.prj");
    QCOMPARE(list.SelectedIndex(), -1);
    list.SetPattern("*.opt");
    QCOMPARE(list.SelectedName(), QString("0.opt"));
    list.SetPath(root.path());
    QCOMPARE(list.SelectedIndex(), -1);

    list.SetSelectedIndex(7);  // out of range: nothing selected
    QCOMPARE(list.SelectedIndex(), -1);
  }

  void fileListMultipleSelection() {
    QTemporaryDir root;
    for (const char* name : {"a.opt", "b.opt", "c.opt"}) WriteFile(root.filePath(name));
    FileList list;
    list.SetPattern("*.opt");
    list.SetPath(root.path());
    list.SetMultipleSelection(true);
    list.item(2)->setSelected(true);
    list.item(0)->setSelected(true);
    QCOMPARE(list.SelectedNames(), QStringList({"a.opt", "c.opt"}));  // in list order
    QCOMPARE(list.SelectedIndex(), 0);

    // A refresh keeps every selected name that is still there.
    QVERIFY(QFile::remove(root.filePath("a.opt")));
    WriteFile(root.filePath("0.opt"));
    list.Refresh();
    QCOMPARE(list.SelectedNames(), QStringList{"c.opt"});
    list.item(1)->setSelected(true);
    QCOMPARE(list.SelectedNames(), QStringList({"b.opt", "c.opt"}));

    // Back to one name: the first stays selected.
    list.SetMultipleSelection(false);
    QCOMPARE(list.SelectedNames(), QStringList{"b.opt"});
  }

  void fileListOfMissingFolderIsEmpty() {
    QTemporaryDir root;
    WriteFile(root.filePath("a.opt"));
    FileList list;
    list.SetPath(root.filePath("missing"));
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.SelectedIndex(), -1);
  }

  void folderListShowsPathThenSubfolders() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    QDir(top).mkpath("beta");
    QDir(top).mkpath("Alpha");
    QDir(top).mkpath(".hidden");
    WriteFile(root.filePath("file.txt"));

    FolderList list;
    QVERIFY(list.SetPath(top));
    QCOMPARE(list.Path(), top);
    const QStringList listed = list.ListedFolders();
    // The chain from the root down, then the sub-folders in name order, letter case ignored.
    QCOMPARE(listed.first(), QString("/"));
    QCOMPARE(listed.mid(listed.size() - 3), QStringList({top, top + "/Alpha", top + "/beta"}));
    QCOMPARE(list.currentItem()->text(0), QFileInfo(top).fileName());
  }

  void folderListNotifiesOnlyRealChanges() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    QDir(top).mkpath("inner");
    FolderList list;
    QVERIFY(list.SetPath(top));
    QSignalSpy changes(&list, &FolderList::PathChanged);

    QVERIFY(list.SetPath(top + "/inner/"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), top + "/inner");

    QVERIFY(list.SetPath(top + "/inner"));  // same folder: no notification
    QCOMPARE(changes.count(), 1);

    QVERIFY(!list.SetPath(top + "/missing"));  // refused: nothing changes
    QCOMPARE(list.Path(), top + "/inner");
    QCOMPARE(changes.count(), 1);

    QVERIFY(list.SetPath(top + "/inner/.."));  // up
    QCOMPARE(list.Path(), top);
    QCOMPARE(changes.count(), 2);
  }

  void folderListGoesUpAndIntoByActivation() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    QDir(top).mkpath("inner/deeper");
    FolderList list;
    list.resize(300, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(list.SetPath(top));

    DoubleClick(list, "inner");
    QCOMPARE(list.Path(), top + "/inner");
    QVERIFY(list.ListedFolders().contains(top + "/inner/deeper"));

    DoubleClick(list, QFileInfo(top).fileName());  // the parent, one line up
    QCOMPARE(list.Path(), top);
  }

  void folderListRefusesVanishedFolder() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    QDir(top).mkpath("gone");
    FolderList list;
    list.resize(300, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(list.SetPath(top));
    QVERIFY(QDir(top + "/gone").removeRecursively());
    QSignalSpy refused(&list, &FolderList::FolderRefused);

    DoubleClick(list, "gone");
    QCOMPARE(list.Path(), top);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), top + "/gone");
  }

  void driveHolds_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("holds");
    QTest::newRow("the root itself") << "/work"
                                     << "/work" << true;
    QTest::newRow("below the root") << "/work"
                                    << "/work/a/b" << true;
    QTest::newRow("a longer name is not below") << "/work"
                                                << "/workshop" << false;
    QTest::newRow("the system root holds all") << "/"
                                               << "/work" << true;
    QTest::newRow("elsewhere") << "/media/usb"
                               << "/home" << false;
  }
  void driveHolds() {
    QFETCH(QString, root);
    QFETCH(QString, folder);
    QFETCH(bool, holds);
    QCOMPARE(DriveHolds(root, folder), holds);
  }

  void driveListPicksInnermostDriveSilently() {
    DriveList list;
    list.SetDriveSource([] {
      return QList<Drive>{{"/", "/"}, {"/work", "/work [data]"}, {"/work/a", "/work/a"}};
    });
    QSignalSpy changes(&list, &DriveList::DriveChanged);

    list.ShowDriveOf("/work/b/c");
    QCOMPARE(list.CurrentDrive(), QString("/work"));
    QCOMPARE(list.currentText(), QString("/work [data]"));
    list.ShowDriveOf("/work/a");
    QCOMPARE(list.CurrentDrive(), QString("/work/a"));
    list.ShowDriveOf("/home");
    QCOMPARE(list.CurrentDrive(), QString("/"));
    QCOMPARE(changes.count(), 0);

    // Choosing an entry is a change.
    list.setCurrentIndex(1);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), QString("/work"));
  }

  void driveListRefreshKeepsCurrentDrive() {
    QList<Drive> drives{{"/a", "/a"}, {"/b", "/b"}};
    DriveList list;
    list.SetDriveSource([&drives] { return drives; });
    list.ShowDriveOf("/b/x");
    drives.prepend({"/0", "/0"});
    list.Refresh();
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.CurrentDrive(), QString("/b"));
    drives.removeLast();  // unmounted
    list.Refresh();
    QCOMPARE(list.CurrentDrive(), QString());
  }

  // Home first; the system root when no mounted volume holds the current folder (a chroot).
  void arrangeDrives_data() {
    QTest::addColumn<QStringList>("volumes");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("with_home");
    QTest::addColumn<QStringList>("roots");
    QTest::newRow("mounted, sorted")
        << QStringList{"/work", "/"} << "/work/a" << false << QStringList{"/", "/work"};
    QTest::newRow("chroot lists nothing")
        << QStringList{} << "/build/pkg" << false << QStringList{"/"};
    QTest::newRow("nothing holds the folder")
        << QStringList{"/media/usb"} << "/build" << false << QStringList{"/", "/media/usb"};
    QTest::newRow("home first") << QStringList{"/"} << "/x" << true << QStringList{"<home>", "/"};
  }
  void arrangeDrives() {
    QFETCH(QStringList, volumes);
    QFETCH(QString, current);
    QFETCH(bool, with_home);
    QFETCH(QStringList, roots);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString home_root = QDir::cleanPath(home.path());
    QList<Drive> drives;
    for (const QString& root : volumes) drives.append({root, root});
    QStringList arranged;
    for (const Drive& drive : ArrangeDrives(drives, current, with_home ? home_root : QString())) {
      arranged.append(drive.root);
    }
    roots.replaceInStrings("<home>", home_root);
    QCOMPARE(arranged, roots);
  }

  void mountedDrivesHoldTheCurrentFolder() {
    const QList<Drive> drives = MountedDrives();
    bool held = false;
    for (const Drive& drive : drives) {
      QVERIFY2(QFileInfo(drive.root).isDir(), qPrintable(drive.root));
      held = held || DriveHolds(drive.root, QDir::currentPath());
    }
    QVERIFY(held);
    // A package build's home may not exist; then there is no home entry.
    if (QFileInfo(QDir::homePath()).isDir()) {
      QCOMPARE(drives.front().root, QDir::cleanPath(QDir::homePath()));
    }
    DriveList list;  // starts at the drive of the current folder
    QVERIFY(DriveHolds(list.CurrentDrive(), QDir::currentPath()));
  }

 private:
  static void DoubleClick(FolderList& list, const QString& text) {
    const QList<QTreeWidgetItem*> items =
        list.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    const QRect rect = list.visualItemRect(items.last());
    // A press and release first, as a real double click has.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
  }
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::ListsTest)
#include "lists_test.moc"
