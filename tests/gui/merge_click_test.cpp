// A merge started by the window's button, through the library's real merge.
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/durvane_window.h"
#include "app/gui/operations.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/sample_model.h"

namespace durvane::gui {
namespace {

using testing::ReadWhole;
using testing::RecordingFeedback;
using testing::WriteFile;

class MergeClickTest : public QObject {
  Q_OBJECT

 private slots:
  void mergeByClick() {
    QTemporaryDir root;
    const QString top = QDir::cleanPath(root.path());
    const auto model = fixture::SampleModel();
    const QByteArray opt(reinterpret_cast<const char*>(model.bytes.data()),
                         static_cast<qsizetype>(model.bytes.size()));
    WriteFile(top + "/models/ship.opt", opt);
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

    auto recorder = std::make_unique<RecordingFeedback>();
    RecordingFeedback& feedback = *recorder;
    Durvane window(LibraryOperations(), std::move(recorder));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QRadioButton*>("opmerge"), Qt::LeftButton);
    QVERIFY(window.findChild<FolderList*>("prjdirectory")->SetPath(top + "/one/ship"));
    QVERIFY(window.findChild<FolderList*>("optdirectory")->SetPath(top + "/two/ship"));
    for (const char* name : {"prjfile1", "optfile"}) {
      FileList& list = *window.findChild<FileList*>(name);
      QCOMPARE(list.Names(), QStringList{"ship.prj"});
      QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                        list.visualItemRect(list.item(0)).center());
      QCOMPARE(list.SelectedIndex(), 0);
    }
    QTest::mouseClick(window.findChild<QPushButton*>("prjwriter"), Qt::LeftButton);

    QVERIFY2(feedback.errors.isEmpty(), qPrintable(feedback.errors.value(0).detail));
    QCOMPARE(feedback.Beeps(), 1);
    QCOMPARE(ReadWhole(first), expected);        // the first file received the merge
    QCOMPARE(ReadWhole(second), second_before);  // the second was only read
  }
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::MergeClickTest)
#include "merge_click_test.moc"
