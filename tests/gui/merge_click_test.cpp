// A merge started by the window's button, through the library's real merge.
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/durvane_window.h"
#include "app/window/operations.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/merge_pair.h"

namespace durvane::gui {
namespace {

using testing::FilesIn;
using testing::Harness;
using testing::ReadWhole;
using testing::SampleBytes;
using testing::WriteFile;

// The sample converted into `top`/qel: its PRJ file's bytes.
QByteArray ConvertedSample(const QString& top) {
  WriteFile(top + "/models/ship.opt", SampleBytes());
  QDir(top).mkpath("qel");
  RunConversion((top + "/qel").toStdString(), (top + "/models").toStdString(), "ship.opt");
  return ReadWhole(top + "/qel/ship/ship.prj");
}

class MergeClickTest : public QObject {
  Q_OBJECT

 private slots:
  void mergeByClick() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    WriteFile(top + "/models/ship.opt", SampleBytes());
    for (const char* qel : {"one", "two"}) {
      QDir(top).mkpath(qel);
      RunConversion((top + '/' + qel).toStdString(), (top + "/models").toStdString(), "ship.opt");
    }
    const QString first = top + "/one/ship/ship.prj";
    const QString second = top + "/two/ship/ship.prj";
    const QByteArray first_before = ReadWhole(first);
    const QByteArray second_before = ReadWhole(second);
    QVERIFY(!first_before.isEmpty());

    // What the library makes of the same two files, on copies.
    WriteFile(top + "/expected/first.prj", first_before);
    WriteFile(top + "/expected/second.prj", second_before);
    merge::MergePrj((top + "/expected/first.prj").toStdString(),
                    (top + "/expected/second.prj").toStdString());
    const QByteArray expected = ReadWhole(top + "/expected/first.prj");
    QVERIFY(expected.size() > first_before.size());

    Harness h(LibraryOperations());
    QVERIFY(h.Show());
    h.ChooseMerge(first, second);
    h.Write();

    QVERIFY2(h.feedback->errors.isEmpty(), qPrintable(h.feedback->errors.value(0).detail));
    QCOMPARE(h.feedback->Beeps(), 1);
    QCOMPARE(ReadWhole(first), expected);        // the first file received the merge
    QCOMPARE(ReadWhole(second), second_before);  // the second was only read
  }

  // Several files selected in the second list fold into the first in one run, in list order,
  // as the library's many-file merge folds them.
  void mergeSeveralByClick() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    const QByteArray prj = ConvertedSample(top);
    const QString first = top + "/one/first.prj";
    WriteFile(first, prj);
    for (const char* name : {"b.prj", "a.prj", "c.prj"}) WriteFile(top + "/two/" + name, prj);

    WriteFile(top + "/expected/first.prj", prj);
    const std::vector<std::filesystem::path> in_list_order = {(top + "/two/a.prj").toStdString(),
                                                              (top + "/two/c.prj").toStdString()};
    const merge::MergeResult merged =
        merge::MergePrjFiles((top + "/expected/first.prj").toStdString(), in_list_order);

    Harness h(LibraryOperations());
    QVERIFY(h.Show());
    h.ChooseMerge(first, top + "/two/a.prj");
    FileList& seconds = h.optfile();
    const int c_row = static_cast<int>(seconds.Names().indexOf("c.prj"));
    QTest::mouseClick(seconds.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      seconds.visualItemRect(seconds.item(c_row)).center());
    QCOMPARE(seconds.SelectedNames(), QStringList({"a.prj", "c.prj"}));
    h.Write();
    QTRY_COMPARE(h.feedback->Beeps(), 1);

    QCOMPARE(ReadWhole(first), ReadWhole(top + "/expected/first.prj"));
    const int each = merged.first_polygon_count;
    QCOMPARE(h.status().text(), QStringLiteral("folded %1 polygons of a.prj, c.prj into "
                                               "first.prj: now %2")
                                    .arg(2 * each)
                                    .arg(3 * each));
  }

  // After a merge the status line offers Undo, which puts the first file back byte for byte
  // and removes the window's backup; one whose first file changed since is refused and keeps
  // both; the next operation and closing the window remove the backup.
  void undoTheLastMerge() {
    struct Case {
      const char* what;
      enum { kUndo, kChangedFirst, kNextRun, kClose } then;
    };
    for (const Case& c : {Case{"undo", Case::kUndo}, Case{"first changed", Case::kChangedFirst},
                          Case{"next run", Case::kNextRun}, Case{"closing", Case::kClose}}) {
      QTemporaryDir root;
      const QString top = QDir::cleanPath(root.path());
      const QByteArray prj = ConvertedSample(top);
      const QString first = top + "/one/first.prj";
      WriteFile(first, prj);
      WriteFile(top + "/two/second.prj", prj);
      const QStringList files_before = FilesIn(top + "/one");

      Harness h(LibraryOperations());
      QVERIFY(h.Show());
      h.ChooseMerge(first, top + "/two/second.prj");
      h.Write();
      QVERIFY2(h.feedback->errors.isEmpty(), c.what);
      const QByteArray merged = ReadWhole(first);
      QVERIFY(merged.size() > prj.size());
      auto& undo = h.Get<QLabel>("undo");
      QVERIFY2(undo.isVisible(), c.what);
      QCOMPARE(FilesIn(top + "/one").size(), files_before.size() + 1);  // the backup

      switch (c.then) {
        case Case::kUndo:
          emit undo.linkActivated("undo");
          h.WaitForRun();
          QCOMPARE(ReadWhole(first), prj);
          QCOMPARE(h.status().text(), QString("put first.prj back as it was before the merge"));
          QVERIFY(undo.isHidden());
          break;
        case Case::kChangedFirst: {
          const QByteArray changed = merged + "more";
          WriteFile(first, changed);
          emit undo.linkActivated("undo");
          h.WaitForRun();
          QCOMPARE(h.feedback->errors.size(), 1);
          QVERIFY2(h.feedback->errors[0].summary.contains("has changed since the merge"),
                   qPrintable(h.feedback->errors[0].summary));
          QCOMPARE(ReadWhole(first), changed);
          // Both kept: the first file as it was is named in the message and stays.
          QCOMPARE(FilesIn(top + "/one").size(), files_before.size() + 1);
          QVERIFY(h.feedback->errors[0].summary.contains(".first.prj.durvane-undo"));
          QCOMPARE(ReadWhole(top + "/one/.first.prj.durvane-undo"), prj);
          h.window.reset();
          QCOMPARE(ReadWhole(top + "/one/.first.prj.durvane-undo"), prj);
          continue;
        }
        case Case::kNextRun:
          h.Write();  // merges again: the first merge's backup goes, the second's comes
          QVERIFY(h.feedback->errors.isEmpty());
          QCOMPARE(FilesIn(top + "/one").size(), files_before.size() + 1);
          QCOMPARE(ReadWhole(top + "/one/.first.prj.durvane-undo"), merged);
          h.window.reset();
          break;
        case Case::kClose:
          h.window.reset();
          QCOMPARE(ReadWhole(first), merged);
          break;
      }
      QCOMPARE(FilesIn(top + "/one"), files_before);
      QCOMPARE(ReadWhole(top + "/two/second.prj"), prj);
    }
  }
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::MergeClickTest)
#include "merge_click_test.moc"
