// A merge started by the window's button, through the library's real merge.
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/durvane_window.h"
#include "app/gui/operations.h"
#include "tests/gui/gui_test_support.h"

namespace durvane::gui {
namespace {

using testing::Harness;
using testing::ReadWhole;
using testing::SampleBytes;
using testing::WriteFile;

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
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::MergeClickTest)
#include "merge_click_test.moc"
