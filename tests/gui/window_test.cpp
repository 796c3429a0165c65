// The window: its start state, the mode switch, the list ripple and the button's runs.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "app/gui/durvane_window.h"
#include "core/error.h"
#include "prj/conversion_run.h"
#include "tests/gui/gui_test_support.h"

namespace durvane::gui {
namespace {

using testing::FilesIn;
using testing::Harness;
using testing::ReadWhole;
using testing::RecordingFeedback;
using testing::SampleBytes;
using testing::WriteFile;

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    start_folder_ = QDir::currentPath();
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    top_ = QDir::cleanPath(root_->path());
  }
  void cleanup() { QDir::setCurrent(start_folder_); }

  void startState() {
    WriteFile(top_ + "/Ship.OPT");
    WriteFile(top_ + "/notes.txt");
    WriteFile(top_ + "/old.prj");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;

    QCOMPARE(h.window->windowTitle(), QString("DURVANE v1.3"));
    QCOMPARE(h.window->size(), QSize(465 + 368, 388));  // the design and the preview pane
    QVERIFY(!h.window->windowIcon().isNull());

    QVERIFY(h.opcreate().isChecked());
    QVERIFY(!h.opmerge().isChecked());
    QCOMPARE(h.opcreate().text(), QString("Create New"));
    QCOMPARE(h.opmerge().text(), QString("Merge PRJ"));
    QCOMPARE(h.prjwriter().text(), QString("Write to *.prj"));
    QVERIFY(h.prjwriter().font().bold());
    QCOMPARE(h.Label1().text(), QString("QEL Directory"));
    QCOMPARE(h.Label2().text(), QString("Location of *.opt"));
    QVERIFY(h.prjfile1().isHidden());
    QVERIFY(!h.optfile().isHidden());

    // Every list at the current folder; each file list shows its files.
    QCOMPARE(h.prjdirectory().Path(), top_);
    QCOMPARE(h.optdirectory().Path(), top_);
    QCOMPARE(h.prjfile1().Path(), top_);
    QCOMPARE(h.optfile().Path(), top_);
    QVERIFY(DriveHolds(h.prjdrive().CurrentDrive(), top_));
    QVERIFY(DriveHolds(h.optdrive().CurrentDrive(), top_));
    QCOMPARE(h.optfile().Pattern(), QString("*.opt"));
    QCOMPARE(h.optfile().Names(), QStringList{"Ship.OPT"});
    QCOMPARE(h.prjfile1().Pattern(), QString("*.prj"));
    QCOMPARE(h.prjfile1().Names(), QStringList{"old.prj"});
    QCOMPARE(h.optfile().SelectedIndex(), -1);

    QVERIFY(h.Show());
    QCOMPARE(QApplication::focusWidget(), &h.optfile());
    QVERIFY(h.feedback->events.isEmpty());
  }

  void previewShowsTheSelectedFileOfTheMode() {
    WriteFile(top_ + "/ship.opt", SampleBytes());
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    auto& preview = h.Get<ModelPreview>("preview");
    QSignalSpy shown(&preview, &ModelPreview::Shown);
    Harness::ClickName(h.optfile(), "ship.opt");
    QCOMPARE(preview.File(), top_ + "/ship.opt");
    QVERIFY(shown.wait(10000));
    QVERIFY(!preview.Picture().isNull());
    // Another mode lists other files: the pane is cleared.
    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    QVERIFY(preview.File().isEmpty());
  }

  void controlGeometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    // Design twips divided by 15.
    QTest::newRow("Label1") << "Label1" << QRect(24, 24, 121, 17);
    QTest::newRow("prjdrive") << "prjdrive" << QRect(24, 40, 161, 21);
    QTest::newRow("prjdirectory") << "prjdirectory" << QRect(24, 64, 161, 81);
    QTest::newRow("prjfile1") << "prjfile1" << QRect(192, 40, 145, 110);
    QTest::newRow("opcreate") << "opcreate" << QRect(360, 128, 89, 25);
    QTest::newRow("opmerge") << "opmerge" << QRect(360, 160, 89, 25);
    QTest::newRow("Label2") << "Label2" << QRect(24, 160, 121, 17);
    QTest::newRow("optdrive") << "optdrive" << QRect(24, 176, 161, 21);
    QTest::newRow("optdirectory") << "optdirectory" << QRect(24, 200, 161, 81);
    QTest::newRow("optfile") << "optfile" << QRect(192, 176, 145, 110);
    QTest::newRow("prjwriter") << "prjwriter" << QRect(160, 320, 129, 49);
  }
  void controlGeometry() {
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    Harness h;
    QVERIFY(h.Show());
    QWidget* control = h.window->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), pixels);
  }

  void tabOrder() {
    Harness h;
    const QStringList controls{"optfile",   "optdirectory", "optdrive", "prjdirectory", "prjdrive",
                               "prjwriter", "opcreate",     "opmerge",  "prjfile1"};
    QStringList chain;
    QWidget* w = &h.optfile();
    do {
      if (controls.contains(w->objectName()) && !chain.contains(w->objectName())) {
        chain.append(w->objectName());
      }
      w = w->nextInFocusChain();
    } while (w != &h.optfile());
    QCOMPARE(chain, controls);
  }

  void switchingToMergeAndBack() {
    QDir(top_).mkpath("first");
    QDir(top_).mkpath("second");
    WriteFile(top_ + "/first/a.PRJ");
    WriteFile(top_ + "/second/b.prj");
    WriteFile(top_ + "/second/b.opt");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(top_ + "/first"));
    QVERIFY(h.optdirectory().SetPath(top_ + "/second"));

    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    QVERIFY(h.opmerge().isChecked());
    QVERIFY(!h.opcreate().isChecked());
    QCOMPARE(h.optfile().Pattern(), QString("*.prj"));
    QCOMPARE(h.optfile().Names(), QStringList{"b.prj"});
    QVERIFY(h.prjfile1().isVisible());
    QCOMPARE(h.prjfile1().Names(), QStringList{"a.PRJ"});
    QCOMPARE(h.Label1().text(), QString("1st PRJ Folder"));
    QCOMPARE(h.Label2().text(), QString("2nd PRJ Folder"));
    Harness::ClickName(h.prjfile1(), "a.PRJ");

    QTest::mouseClick(&h.opcreate(), Qt::LeftButton);
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.optfile().Pattern(), QString("*.opt"));
    QCOMPARE(h.optfile().Names(), QStringList{"b.opt"});
    QVERIFY(h.prjfile1().isHidden());
    QCOMPARE(h.Label1().text(), QString("QEL Directory"));
    QCOMPARE(h.Label2().text(), QString("Location of *.opt"));

    // The mode handlers touch no path and not the first file's selection.
    QCOMPARE(h.prjdirectory().Path(), top_ + "/first");
    QCOMPARE(h.prjfile1().Path(), top_ + "/first");
    QCOMPARE(h.optdirectory().Path(), top_ + "/second");
    QCOMPARE(h.optfile().Path(), top_ + "/second");
    QCOMPARE(h.prjfile1().SelectedName(), QString("a.PRJ"));
  }

  void driveChangeRipplesToFolderAndFiles() {
    const QString a = top_ + "/driveA";
    const QString b = top_ + "/driveB";
    WriteFile(a + "/a.opt");
    WriteFile(a + "/a.prj");
    WriteFile(b + "/b.OPT");
    WriteFile(b + "/b.prj");
    Harness h;
    const QString start = h.prjdirectory().Path();
    const auto drives = [&] { return QList<Drive>{{a, a}, {b, b}}; };
    h.optdrive().SetDriveSource(drives);
    h.prjdrive().SetDriveSource(drives);

    h.optdrive().setCurrentIndex(1);
    QCOMPARE(h.optdirectory().Path(), b);
    QCOMPARE(h.optfile().Path(), b);
    QCOMPARE(h.optfile().Names(), QStringList{"b.OPT"});
    QCOMPARE(h.prjdirectory().Path(), start);  // the other group is left alone

    // The hidden first-file list follows its folder too.
    h.prjdrive().setCurrentIndex(0);
    QCOMPARE(h.prjdirectory().Path(), a);
    QCOMPARE(h.prjfile1().Path(), a);
    QCOMPARE(h.prjfile1().Names(), QStringList{"a.prj"});
    QCOMPARE(h.optdirectory().Path(), b);
    QVERIFY(h.feedback->events.isEmpty());
  }

  void folderChangeRipplesToFilesAndDrive() {
    const QString a = top_ + "/driveA";
    WriteFile(a + "/inner/deep.opt");
    WriteFile(top_ + "/outside/x.opt");
    Harness h;
    h.optdrive().SetDriveSource([&] { return QList<Drive>{{a, a}}; });
    QVERIFY(h.Show());

    QVERIFY(h.optdirectory().SetPath(a + "/inner"));
    QCOMPARE(h.optfile().Path(), a + "/inner");
    QCOMPARE(h.optfile().Names(), QStringList{"deep.opt"});
    QCOMPARE(h.optdrive().CurrentDrive(), a);

    // Leaving the drive's folders leaves no drive of this list current.
    QVERIFY(h.optdirectory().SetPath(top_ + "/outside"));
    QCOMPARE(h.optfile().Names(), QStringList{"x.opt"});
    QCOMPARE(h.optdrive().CurrentDrive(), QString());
  }

  void unreadableDriveLeavesListsAsTheyWere() {
    const QString a = top_ + "/driveA";
    const QString missing = top_ + "/unplugged";
    WriteFile(a + "/a.opt");
    Harness h;
    h.optdrive().SetDriveSource([&] { return QList<Drive>{{a, a}, {missing, missing}}; });
    h.optdrive().setCurrentIndex(0);
    QCOMPARE(h.optdirectory().Path(), a);
    Harness::ClickName(h.optfile(), "a.opt");

    h.optdrive().setCurrentIndex(1);
    QCOMPARE(h.optdrive().CurrentDrive(), a);
    QCOMPARE(h.optdirectory().Path(), a);
    QCOMPARE(h.optfile().Path(), a);
    QCOMPARE(h.optfile().SelectedName(), QString("a.opt"));
    QCOMPARE(h.feedback->errors.size(), 1);
    QVERIFY(h.feedback->errors[0].summary.contains(missing));
    QCOMPARE(h.feedback->Beeps(), 0);
  }

  void conversionByClick() {
    const QString opt_folder = top_ + "/models";
    const QString qel = top_ + "/qel";
    const QString reference = top_ + "/reference";
    WriteFile(opt_folder + "/Sample.OPT", SampleBytes());
    QDir(top_).mkpath("qel");
    QDir(top_).mkpath("reference");

    int calls = 0;
    Qt::CursorShape cursor_during_run = Qt::ArrowCursor;
    Harness h({[&](const std::filesystem::path& q, const std::filesystem::path& o,
                   const std::string& name) {
                 ++calls;
                 if (QApplication::overrideCursor()) {
                   cursor_during_run = QApplication::overrideCursor()->shape();
                 }
                 return RunConversion(q, o, name);
               },
               {}});
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(qel));
    QVERIFY(h.optdirectory().SetPath(opt_folder));
    Harness::ClickName(h.optfile(), "Sample.OPT");
    h.Write();

    QCOMPARE(calls, 1);
    QCOMPARE(cursor_during_run, Qt::WaitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY2(h.feedback->errors.isEmpty(),
             qPrintable(h.feedback->errors.value(0).summary + h.feedback->errors.value(0).detail));
    QCOMPARE(h.feedback->Beeps(), 1);

    // The window wrote what the library writes for the same three strings.
    const ConversionResult direct =
        RunConversion(reference.toStdString(), opt_folder.toStdString(), std::string("Sample.OPT"));
    const QStringList written = FilesIn(qel + "/sample");
    QVERIFY(written.contains("sample.prj"));
    QCOMPARE(written, FilesIn(reference + "/sample"));
    for (const QString& file : written) {
      QVERIFY(!ReadWhole(qel + "/sample/" + file).isEmpty());
      QCOMPARE(ReadWhole(qel + "/sample/" + file), ReadWhole(reference + "/sample/" + file));
    }
    QCOMPARE(FilesIn(opt_folder), QStringList{"Sample.OPT"});
    // The run's warnings, if any, were shown after the beep.
    if (direct.warnings.empty()) {
      QCOMPARE(h.feedback->events, QStringList{"beep"});
    } else {
      QCOMPARE(h.feedback->events, QStringList({"beep", "warnings"}));
    }

    // The new output folder shows up in the QEL list, and the selection stays.
    QVERIFY(h.prjdirectory().ListedFolders().contains(qel + "/sample"));
    QCOMPARE(h.optfile().SelectedName(), QString("Sample.OPT"));
  }

  void nothingSelectedIsRefused() {
    WriteFile(top_ + "/a.opt", SampleBytes());
    WriteFile(top_ + "/a.prj");
    QVERIFY(QDir::setCurrent(top_));
    int runs = 0;
    Harness h({[&](auto&&...) -> ConversionResult {
                 ++runs;
                 return {};
               },
               [&](auto&&...) -> merge::MergeResult {
                 ++runs;
                 return {};
               }});
    QVERIFY(h.Show());

    h.Write();
    QCOMPARE(h.feedback->errors.size(), 1);
    QVERIFY(h.feedback->errors[0].detail.contains("No OPT file is selected"));

    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    Harness::ClickName(h.optfile(), "a.prj");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 2);
    QVERIFY(h.feedback->errors[1].detail.contains("No first PRJ file is selected"));

    h.optfile().SetSelectedIndex(-1);
    Harness::ClickName(h.prjfile1(), "a.prj");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 3);
    QVERIFY(h.feedback->errors[2].detail.contains("No second PRJ file is selected"));

    QCOMPARE(runs, 0);
    QCOMPARE(h.feedback->Beeps(), 0);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(FilesIn(top_), QStringList({"a.opt", "a.prj"}));
    QCOMPARE(QDir(top_).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
  }

  void failedRunReportsAndWindowStaysUsable() {
    WriteFile(top_ + "/broken.opt", QByteArray("not an OPT file"));
    WriteFile(top_ + "/good.opt", SampleBytes());
    QDir(top_).mkpath("qel");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(top_ + "/qel"));

    Harness::ClickName(h.optfile(), "broken.opt");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 1);
    QCOMPARE(h.feedback->errors[0].summary, QString("Converting 'broken.opt' failed."));
    QVERIFY(!h.feedback->errors[0].detail.isEmpty());
    QCOMPARE(h.feedback->Beeps(), 0);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(QDir(top_ + "/qel").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    // The same window converts the next file.
    QVERIFY(h.window->isEnabled());
    Harness::ClickName(h.optfile(), "good.opt");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 1);
    QCOMPARE(h.feedback->Beeps(), 1);
    QVERIFY(QFileInfo(top_ + "/qel/good/good.prj").size() > 0);
  }

  void warningsFollowTheBeep() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    std::vector<std::string> warnings{"texture 'T1' has no bitmap", "second warning"};
    Harness h({[&](auto&&...) {
                 ConversionResult result;
                 result.output_folder = "/q/a";
                 result.warnings = warnings;
                 return result;
               },
               {}});
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList({"beep", "warnings"}));
    QCOMPARE(h.feedback->warnings[0].detail, QString("texture 'T1' has no bitmap\nsecond warning"));
    QVERIFY(h.feedback->warnings[0].summary.contains("'a.opt'"));

    warnings.clear();  // a clean run: the beep alone
    h.Write();
    QCOMPARE(h.feedback->events, QStringList({"beep", "warnings", "beep"}));
  }

  void mergeHandsTheTwoSelectedPaths() {
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.PRJ");
    std::filesystem::path first, second;
    Qt::CursorShape cursor_during_run = Qt::ArrowCursor;
    Harness h({{}, [&](const std::filesystem::path& f, const std::filesystem::path& s) {
                 first = f;
                 second = s;
                 cursor_during_run = QApplication::overrideCursor()->shape();
                 return merge::MergeResult{};
               }});
    QVERIFY(h.Show());
    h.ChooseMerge(top_ + "/one/a.prj", top_ + "/two/b.PRJ");
    h.Write();

    QCOMPARE(QString::fromStdString(first.string()), top_ + "/one/a.prj");
    QCOMPARE(QString::fromStdString(second.string()), top_ + "/two/b.PRJ");
    QCOMPARE(cursor_during_run, Qt::WaitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(h.feedback->events, QStringList{"beep"});
  }

  void failedMergeReportsWithoutBeep() {
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.prj");
    Harness h({{}, [](auto&&...) -> merge::MergeResult {
                 throw Error("'b.prj': section FF02 is missing");
               }});
    QVERIFY(h.Show());
    h.ChooseMerge(top_ + "/one/a.prj", top_ + "/two/b.prj");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList{"error"});
    QCOMPARE(h.feedback->errors[0].summary, QString("Merging 'b.prj' into 'a.prj' failed."));
    QCOMPARE(h.feedback->errors[0].detail, QString("'b.prj': section FF02 is missing"));
    QVERIFY(!QApplication::overrideCursor());
  }

  void failureWithoutMessageIsStillAFailure() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    Harness h({[](auto&&...) -> ConversionResult { throw std::runtime_error(""); }, {}});
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList{"error"});
    QCOMPARE(h.feedback->errors[0].summary, QString("Converting 'a.opt' failed."));
  }

  // Two clicks on the button 120 ms apart are one press, in each mode, whether the run ends
  // before the second click or lasts past it; input given during a run is dropped, never
  // acted on afterwards.
  void doubleClickRunsOnce_data() {
    QTest::addColumn<bool>("merge_mode");
    QTest::addColumn<int>("run_ms");
    QTest::newRow("create new, short run") << false << 0;
    QTest::newRow("create new, slow run") << false << 300;
    QTest::newRow("merge, short run") << true << 0;
    QTest::newRow("merge, slow run") << true << 300;
  }
  void doubleClickRunsOnce() {
    QFETCH(bool, merge_mode);
    QFETCH(int, run_ms);
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.prj");
    WriteFile(top_ + "/two/m.opt");
    int runs = 0;
    // A slow run stands still for run_ms while the system queues the second click.
    Harness* harness = nullptr;
    auto run = [&] {
      ++runs;
      if (run_ms > 0) {
        QTest::qSleep(120);
        PostClick(harness->prjwriter());
        QTest::qSleep(run_ms - 120);
      }
    };
    Harness h({[&](auto&&...) -> ConversionResult {
                 run();
                 return {};
               },
               [&](auto&&...) -> merge::MergeResult {
                 run();
                 return {};
               }});
    harness = &h;
    QVERIFY(h.Show());
    if (merge_mode) {
      h.ChooseMerge(top_ + "/one/a.prj", top_ + "/two/b.prj");
    } else {
      QVERIFY(h.optdirectory().SetPath(top_ + "/two"));
      Harness::ClickName(h.optfile(), "m.opt");
    }
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    if (run_ms == 0) {
      QTest::qWait(120);
      QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    }
    QTest::qWait(50);
    QCOMPARE(runs, 1);
    QCOMPARE(h.feedback->Beeps(), 1);
    QVERIFY(h.prjwriter().isEnabled());

    // A double click as the system delivers it (press, release, press, double click, release)
    // is one press too.
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    QTest::mouseDClick(&h.prjwriter(), Qt::LeftButton);  // the second press and the double click
    QTest::mouseRelease(&h.prjwriter(), Qt::LeftButton);
    QTest::qWait(50);
    QCOMPARE(runs, 2);
    QCOMPARE(h.feedback->Beeps(), 2);
  }

  // Clicks and keys on every control during a run are dropped: the mode, the lists and the
  // selection are as they were, and no second run starts.
  void inputDuringRunIsDropped() {
    WriteFile(top_ + "/two/m.opt");
    WriteFile(top_ + "/two/n.opt");
    WriteFile(top_ + "/two/sub/x.opt");
    int runs = 0;
    Harness* harness = nullptr;
    Harness h({[&](auto&&...) -> ConversionResult {
                 ++runs;
                 Harness& w = *harness;
                 for (QWidget* control : std::initializer_list<QWidget*>{
                          &w.opmerge(), &w.prjwriter(), &w.optfile(), &w.optdirectory(),
                          &w.prjdirectory(), &w.optdrive(), &w.prjdrive()}) {
                   PostClick(*control);
                 }
                 PostKey(w.optfile(), Qt::Key_Down);
                 PostKey(w.prjwriter(), Qt::Key_Space);
                 PostKey(w.opmerge(), Qt::Key_Space);
                 return {};
               },
               {}});
    harness = &h;
    QVERIFY(h.Show());
    QVERIFY(h.optdirectory().SetPath(top_ + "/two"));
    Harness::ClickName(h.optfile(), "m.opt");
    h.Write();
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QCOMPARE(runs, 1);
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.optfile().SelectedName(), QString("m.opt"));
    QCOMPARE(h.optdirectory().Path(), top_ + "/two");
    QCOMPARE(h.feedback->events, QStringList{"beep"});
  }

 private:
  // Queues a click at the middle of `control` (of its viewport for lists), as the system does
  // with a click given while the window's thread is busy.
  static void PostClick(QWidget& control) {
    auto* area = qobject_cast<QAbstractScrollArea*>(&control);
    QWidget* target = area ? area->viewport() : &control;
    const QPointF at = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      // The queue takes ownership of the event.
      QCoreApplication::postEvent(
          target,
          std::make_unique<QMouseEvent>(
              type, at, global, Qt::LeftButton,
              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier)
              .release());
    }
  }
  static void PostKey(QWidget& control, int key) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QCoreApplication::postEvent(&control,
                                  std::make_unique<QKeyEvent>(type, key, Qt::NoModifier).release());
    }
  }

  QString start_folder_;
  std::unique_ptr<QTemporaryDir> root_;  // fresh for every test
  QString top_;
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::WindowTest)
#include "window_test.moc"
