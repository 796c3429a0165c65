// The window: its start state, the mode switch, the list ripple and the button's runs.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "app/gui/durvane_window.h"
#include "app/window/error_headline.h"
#include "core/error.h"
#include "tests/gui/gui_test_support.h"
#include "usecases/conversion_run.h"
#include "usecases/merge_run.h"

namespace durvane::gui {
namespace {

using testing::EachFile;
using testing::FilesIn;
using testing::GatedObserver;
using testing::Harness;
using testing::OnWindowThread;
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
    // The captions read as before; the underlined letter is the access key.
    QCOMPARE(h.opcreate().text(), QString("&Create New"));
    QCOMPARE(h.opmerge().text(), QString("&Merge PRJ"));
    QCOMPARE(h.prjwriter().text(), QString("&Write to *.prj"));
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
    QVERIFY(h.status().text().isEmpty());
    QVERIFY(h.progress().isHidden());
    QVERIFY(h.cancel().isHidden());
    QCOMPARE(h.prjdirectory().toolTip(), top_);

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
    // The design's positions in twips (left, top, width, height), 15 to the pixel.
    const auto twips = [](int left, int top, int width, int height) {
      return QRect(left / 15, top / 15, width / 15, height / 15);
    };
    QTest::newRow("Label1") << "Label1" << twips(360, 360, 1815, 255);
    QTest::newRow("prjdrive") << "prjdrive" << twips(360, 600, 2415, 315);
    QTest::newRow("prjdirectory") << "prjdirectory" << twips(360, 960, 2415, 1215);
    QTest::newRow("prjfile1") << "prjfile1" << twips(2880, 600, 2175, 1650);
    QTest::newRow("opcreate") << "opcreate" << twips(5400, 1920, 1335, 375);
    QTest::newRow("opmerge") << "opmerge" << twips(5400, 2400, 1335, 375);
    QTest::newRow("Label2") << "Label2" << twips(360, 2400, 1815, 255);
    QTest::newRow("optdrive") << "optdrive" << twips(360, 2640, 2415, 315);
    QTest::newRow("optdirectory") << "optdirectory" << twips(360, 3000, 2415, 1215);
    QTest::newRow("optfile") << "optfile" << twips(2880, 2640, 2175, 1650);
    QTest::newRow("prjwriter") << "prjwriter" << twips(2400, 4800, 1935, 735);
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
    Harness::ClickName(h.optfile(), "b.opt");

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
    Harness::ClickName(h.optfile(), "b.prj");

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
    // Each mode finds its own selection again.
    QCOMPARE(h.optfile().SelectedNames(), QStringList{"b.opt"});
    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    QCOMPARE(h.optfile().SelectedNames(), QStringList{"b.prj"});
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
    Harness h({EachFile([&](const std::filesystem::path& q, const std::filesystem::path& o,
                            const std::string& name) {
                 ++calls;
                 OnWindowThread([&] {
                   if (QApplication::overrideCursor()) {
                     cursor_during_run = QApplication::overrideCursor()->shape();
                   }
                 });
                 return RunConversion(q, o, name);
               }),
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

    // The status line says what was written where, and offers the folder.
    QString line = QString("Sample.OPT -> %1/sample: sample.prj and %2 bitmaps")
                       .arg(qel)
                       .arg(direct.bitmaps.size());
    if (!direct.warnings.empty()) line += QString(" (%1 warnings)").arg(direct.warnings.size());
    QVERIFY(direct.bitmaps.size() > 1);
    QCOMPARE(h.status().text(), line);
    QVERIFY(h.status().isVisible());
    QVERIFY(h.openfolder().isVisible());
    QVERIFY(h.progress().isHidden());
  }

  void nothingSelectedIsRefused() {
    WriteFile(top_ + "/a.opt", SampleBytes());
    WriteFile(top_ + "/a.prj");
    QVERIFY(QDir::setCurrent(top_));
    int runs = 0;
    Harness h({EachFile([&](auto&&...) -> ConversionResult {
                 ++runs;
                 return {};
               }),
               [&](auto&&...) -> merge::MergeResult {
                 ++runs;
                 return {};
               }});
    QVERIFY(h.Show());

    h.Write();
    QCOMPARE(h.feedback->errors.size(), 1);
    // What to do about it is in the main text, not behind "Show Details".
    QCOMPARE(h.feedback->errors[0].summary,
             QString("No OPT file is selected. Choose one in the list beside \"Location of "
                     "*.opt\"."));
    QVERIFY(h.feedback->errors[0].detail.isEmpty());

    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    Harness::ClickName(h.optfile(), "a.prj");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 2);
    QVERIFY(h.feedback->errors[1].summary.startsWith("No first PRJ file is selected."));

    h.optfile().SetSelectedIndex(-1);
    Harness::ClickName(h.prjfile1(), "a.prj");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 3);
    QVERIFY(h.feedback->errors[2].summary.startsWith("No second PRJ file is selected."));
    QVERIFY(h.feedback->errors[2].summary.contains("2nd PRJ Folder"));

    QCOMPARE(runs, 0);
    QCOMPARE(h.feedback->Beeps(), 0);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(FilesIn(top_), QStringList({"a.opt", "a.prj"}));
    QCOMPARE(QDir(top_).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
  }

  void failedRunReportsAndWindowStaysUsable() {
    WriteFile(top_ + "/broken.opt", SampleBytes().left(100));  // cut short in the node tree
    WriteFile(top_ + "/good.opt", SampleBytes());
    QDir(top_).mkpath("qel");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(top_ + "/qel"));

    Harness::ClickName(h.optfile(), "broken.opt");
    h.Write();
    QCOMPARE(h.feedback->errors.size(), 1);
    // A plain sentence with the file's full path leads; the precise message follows.
    QCOMPARE(h.feedback->errors[0].summary,
             top_ +
                 "/broken.opt is not a valid OPT file: it ends at byte 100, inside the node "
                 "tree.");
    QVERIFY2(h.feedback->errors[0].detail.startsWith("offset 0x"),
             qPrintable(h.feedback->errors[0].detail));
    QVERIFY(h.feedback->errors[0].detail.contains("the file ends at 0x64"));
    QCOMPARE(h.status().text(), h.feedback->errors[0].summary);
    QVERIFY(h.openfolder().isHidden());
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
    Harness h({EachFile([&](auto&&...) {
                 ConversionResult result;
                 result.output_folder = "/q/a";
                 result.prj_path = "/q/a/a.prj";
                 result.warnings = warnings;
                 return result;
               }),
               {}});
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList({"beep", "warnings"}));
    QCOMPARE(h.feedback->warnings[0].detail, QString("texture 'T1' has no bitmap\nsecond warning"));
    QCOMPARE(h.status().text(), QString("a.opt -> /q/a: a.prj (2 warnings)"));
    QCOMPARE(h.feedback->warnings[0].summary, h.status().text() + ':');
    QCOMPARE(h.status().toolTip(),
             h.status().text() + "\ntexture 'T1' has no bitmap\nsecond warning");

    warnings.clear();  // a clean run: the beep alone
    h.Write();
    QCOMPARE(h.feedback->events, QStringList({"beep", "warnings", "beep"}));
  }

  void mergeHandsTheTwoSelectedPaths() {
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.PRJ");
    std::filesystem::path first, second;
    Qt::CursorShape cursor_during_run = Qt::ArrowCursor;
    Harness h({{},
               [&](const std::filesystem::path& f, const std::vector<std::filesystem::path>& s,
                   const LockWait&, const std::filesystem::path&) {
                 first = f;
                 second = s.at(0);
                 OnWindowThread(
                     [&] { cursor_during_run = QApplication::overrideCursor()->shape(); });
                 merge::MergeResult result;
                 result.first_polygon_count = 12;
                 result.index_shifts = {3};  // the first file's last top-level index + 1
                 result.polygon_count = 18;
                 return result;
               }});
    QVERIFY(h.Show());
    h.ChooseMerge(top_ + "/one/a.prj", top_ + "/two/b.PRJ");
    h.Write();

    QCOMPARE(QString::fromStdString(first.string()), top_ + "/one/a.prj");
    QCOMPARE(QString::fromStdString(second.string()), top_ + "/two/b.PRJ");
    QCOMPARE(cursor_during_run, Qt::WaitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(h.feedback->events, QStringList{"beep"});
    QCOMPARE(h.status().text(), QString("folded 6 polygons of b.PRJ into a.prj: now 18"));
    QVERIFY(h.openfolder().isHidden());
  }

  void failedMergeReportsWithoutBeep() {
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.prj");
    Harness h({{}, [](auto&&...) -> merge::MergeResult {
                 throw merge::MergeFileError("/x/two/b.prj", "section FF02 is missing");
               }});
    QVERIFY(h.Show());
    h.ChooseMerge(top_ + "/one/a.prj", top_ + "/two/b.prj");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList{"error"});
    QCOMPARE(h.feedback->errors[0].summary,
             QString("/x/two/b.prj cannot be merged: section FF02 is missing."));
    QCOMPARE(h.feedback->errors[0].detail, QString("'/x/two/b.prj': section FF02 is missing"));
    QVERIFY(!QApplication::overrideCursor());
  }

  void failureWithoutMessageIsStillAFailure() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    Harness h({EachFile([](auto&&...) -> ConversionResult { throw std::runtime_error(""); }), {}});
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    h.Write();
    QCOMPARE(h.feedback->events, QStringList{"error"});
    QCOMPARE(h.feedback->errors[0].summary, QString("%1/a.opt could not be converted.").arg(top_));
  }

  // Two clicks on the button 120 ms apart are one press, in each mode, whether the run ends
  // before the second click or lasts past it; input given during a run is dropped, never
  // acted on afterwards.
  void doubleClickRunsOnce_data() {
    QTest::addColumn<bool>("merge_mode");
    QTest::addColumn<bool>("slow");
    QTest::newRow("create new, short run") << false << false;
    QTest::newRow("create new, slow run") << false << true;
    QTest::newRow("merge, short run") << true << false;
    QTest::newRow("merge, slow run") << true << true;
  }
  void doubleClickRunsOnce() {
    QFETCH(bool, merge_mode);
    QFETCH(bool, slow);
    WriteFile(top_ + "/one/a.prj");
    WriteFile(top_ + "/two/b.prj");
    WriteFile(top_ + "/two/m.opt");
    std::atomic<int> runs = 0;
    Harness* harness = nullptr;
    auto run = [&] {
      ++runs;
      if (slow) harness->gate.Pass();
    };
    Harness h({EachFile([&](auto&&...) -> ConversionResult {
                 run();
                 return {};
               }),
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
    if (slow) h.WaitAtGate(1);
    QTest::qWait(120);
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    h.gate.Open();
    h.WaitForRun();
    QTest::qWait(50);
    QCOMPARE(runs.load(), 1);
    QCOMPARE(h.feedback->Beeps(), 1);
    QVERIFY(h.prjwriter().isEnabled());

    // A double click as the system delivers it (press, release, press, double click, release)
    // is one press too.
    h.gate.OpenAll();
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    QTest::mouseDClick(&h.prjwriter(), Qt::LeftButton);  // the second press and the double click
    QTest::mouseRelease(&h.prjwriter(), Qt::LeftButton);
    h.WaitForRun();
    QTest::qWait(50);
    QCOMPARE(runs.load(), 2);
    QCOMPARE(h.feedback->Beeps(), 2);
  }

  // Clicks and keys on every control during a run are dropped, whether they reach the window
  // at once or wait in the queue: the mode, the lists and the selection are as they were, and
  // no second run starts.
  void inputDuringRunIsDropped() {
    WriteFile(top_ + "/two/m.opt");
    WriteFile(top_ + "/two/n.opt");
    WriteFile(top_ + "/two/sub/x.opt");
    std::atomic<int> runs = 0;
    Harness* harness = nullptr;
    Harness h({EachFile([&](auto&&...) -> ConversionResult {
                 ++runs;
                 harness->gate.Pass();
                 return {};
               }),
               {}});
    harness = &h;
    QVERIFY(h.Show());
    QVERIFY(h.optdirectory().SetPath(top_ + "/two"));
    Harness::ClickName(h.optfile(), "m.opt");
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    h.WaitAtGate(1);
    QVERIFY(!h.prjwriter().isEnabled());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    const std::initializer_list<QWidget*> controls{
        &h.opmerge(),      &h.prjwriter(), &h.optfile(), &h.optdirectory(),
        &h.prjdirectory(), &h.optdrive(),  &h.prjdrive()};
    for (QWidget* control : controls) {
      QTest::mouseClick(control, Qt::LeftButton);
      PostClick(*control);
    }
    QTest::keyClick(&h.optfile(), Qt::Key_Down);
    QTest::keyClick(&h.prjwriter(), Qt::Key_Return);
    QTest::keyClick(h.window.get(), Qt::Key_M, Qt::AltModifier);
    PostKey(h.optfile(), Qt::Key_Down);
    PostKey(h.prjwriter(), Qt::Key_Space);
    PostKey(h.opmerge(), Qt::Key_Space);
    h.gate.Open();
    h.WaitForRun();
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QCOMPARE(runs.load(), 1);
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.optfile().SelectedNames(), QStringList{"m.opt"});
    QCOMPARE(h.optdirectory().Path(), top_ + "/two");
    QCOMPARE(h.feedback->events, QStringList{"beep"});
    QVERIFY(!QApplication::overrideCursor());
  }

  // Input that is queued behind the run's end, before the window has seen the end, is dropped
  // as well: the controls take input again only after it has been delivered.
  void inputQueuedAsRunEndsIsDropped_data() {
    QTest::addColumn<QString>("input");
    QTest::newRow("click on the button") << "click button";
    QTest::newRow("Space on the button") << "space button";
    QTest::newRow("Return on the button") << "return button";
    QTest::newRow("click on Merge PRJ") << "click merge";
  }
  void inputQueuedAsRunEndsIsDropped() {
    QFETCH(QString, input);
    WriteFile(top_ + "/two/m.opt");
    std::atomic<int> runs = 0;
    Harness* harness = nullptr;
    Harness h({EachFile([&](auto&&...) -> ConversionResult {
                 ++runs;
                 harness->gate.Pass();
                 return {};
               }),
               {}});
    harness = &h;
    QVERIFY(h.Show());
    QVERIFY(h.optdirectory().SetPath(top_ + "/two"));
    Harness::ClickName(h.optfile(), "m.opt");
    QSignalSpy finished(h.window.get(), &Durvane::RunFinished);
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    h.WaitAtGate(1);
    // Past the double click's interval: a press now would be a press of its own.
    QTest::qWait(QApplication::doubleClickInterval() + 50);

    // The run ends while the window's thread is busy, so its end waits in the queue; the
    // input comes after it.
    h.gate.Open();
    QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    if (input == "click button") PostClick(h.prjwriter());
    if (input == "space button") PostKey(h.prjwriter(), Qt::Key_Space);
    if (input == "return button") PostKey(h.prjwriter(), Qt::Key_Return);
    if (input == "click merge") PostClick(h.opmerge());
    QVERIFY(h.window->IsRunning());  // the end is not seen yet

    QVERIFY(finished.wait(10000));
    QTest::qWait(100);  // anything still queued is delivered
    QVERIFY(!h.window->IsRunning());
    QCOMPARE(runs.load(), 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.feedback->events, QStringList{"beep"});
    QVERIFY(h.prjwriter().isEnabled());
  }

  // A run of several files: the window keeps painting, the bar counts the files, Cancel
  // stops between files, and every file is written whole or not at all.
  void slowRunShowsProgressAndCancelStopsBetweenFiles() {
    const QString models = top_ + "/models";
    const QString qel = top_ + "/qel";
    for (const char* name : {"a.opt", "b.opt", "c.opt"})
      WriteFile(models + "/" + name, SampleBytes());
    QDir(top_).mkpath("qel");
    Harness* harness = nullptr;
    Harness h({[&](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                   BatchObserver& observer) {
                 BatchOptions one_at_a_time = options;
                 one_at_a_time.jobs = 1;
                 GatedObserver gated(observer, harness->gate);
                 return ConvertFiles(files, one_at_a_time, gated);
               },
               {}});
    harness = &h;
    PaintCounter paints(h.progress());
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(qel));
    QVERIFY(h.optdirectory().SetPath(models));
    SelectAll(h.optfile());
    QCOMPARE(h.optfile().SelectedNames(), QStringList({"a.opt", "b.opt", "c.opt"}));

    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    h.WaitAtGate(1);
    QVERIFY(h.progress().isVisible());
    QVERIFY(h.cancel().isVisible() && h.cancel().isEnabled());
    // Four stages for each file: read, scanned, built, written.
    QCOMPARE(h.progress().maximum(), 3 * kConversionStages);
    QCOMPARE(h.progress().value(), 0);
    QCOMPARE(h.progress().text(), QString("0 of 3 files"));
    QTRY_VERIFY(paints.count > 0);

    const int painted = paints.count;
    h.gate.Open();  // a.opt is written
    h.WaitAtGate(2);
    QTRY_COMPARE(h.progress().value(), kConversionStages);
    QCOMPARE(h.progress().text(), QString("1 of 3 files"));
    QTRY_VERIFY(paints.count > painted);  // the window repaints during the run

    QTest::mouseClick(&h.cancel(), Qt::LeftButton);  // while b.opt is being converted
    h.gate.Open();
    // A run that begins c.opt after all is held at the gate for good: that ends the wait too,
    // so a Cancel that does not stop fails here at once rather than at the timeout.
    QTRY_VERIFY_WITH_TIMEOUT(!h.window->IsRunning() || h.gate.Arrived() > 2, 60000);
    QCOMPARE(h.gate.Arrived(), 2);  // c.opt was not begun
    QVERIFY(!h.window->IsRunning());
    QCOMPARE(QDir(qel).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"a", "b"}));
    for (const char* folder : {"a", "b"}) {
      const QStringList written = FilesIn(qel + "/" + folder);
      QVERIFY(written.contains(QString(folder) + ".prj"));
      for (const QString& file : written) QVERIFY2(!file.startsWith('.'), qPrintable(file));
    }
    QCOMPARE(h.status().text(),
             QString("converted 2 of 3 OPT files into %1; canceled before the rest").arg(qel));
    QVERIFY(h.progress().isHidden());
    QVERIFY(h.cancel().isHidden());
    QCOMPARE(h.feedback->events, QStringList());  // no beep: the run did not finish
    QVERIFY(h.window->isEnabled() && h.prjwriter().isEnabled());
  }

  // One press converts every selected file; a bad one does not stop the others.
  void severalFilesOneBad() {
    const QString qel = top_ + "/qel";
    WriteFile(top_ + "/a.opt", SampleBytes());
    WriteFile(top_ + "/bad.opt", SampleBytes().left(100));
    WriteFile(top_ + "/c.opt", SampleBytes());
    QDir(top_).mkpath("qel");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(qel));
    Harness::ClickName(h.optfile(), "a.opt");
    QTest::mouseClick(h.optfile().viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      h.optfile().visualItemRect(h.optfile().item(2)).center());
    QCOMPARE(h.optfile().SelectedNames(), QStringList({"a.opt", "bad.opt", "c.opt"}));
    h.Write();

    QCOMPARE(QDir(qel).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"a", "c"}));
    QCOMPARE(h.status().text(),
             QString("converted 2 of 3 OPT files into %1; failed: bad.opt").arg(qel));
    QCOMPARE(h.feedback->events, QStringList{"error"});
    // The headline names the file that failed.
    QCOMPARE(h.feedback->errors[0].summary, QString("'bad.opt' could not be converted."));
    QVERIFY(h.feedback->errors[0].detail.startsWith(
        top_ + "/bad.opt is not a valid OPT file: it ends at byte 100"));
    QVERIFY(h.feedback->errors[0].detail.contains("\noffset 0x"));
    QVERIFY(h.openfolder().isVisible());
  }

  void errorHeadlines_data() {
    QTest::addColumn<bool>("merge");
    QTest::addColumn<int>("kind");  // 0 format error, 1 merge file error, 2 other error
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("headline");
    QTest::newRow("OPT cut short")
        << false << 0 << "entry 1: ChildCount needs 4 bytes, but the file ends at 0x64"
        << "/m/a.opt is not a valid OPT file: it ends at byte 100.";
    QTest::newRow("OPT damaged") << false << 0 << "top-level entry 2: node type 0x9 is unknown"
                                 << "/m/a.opt is not a valid OPT file: node type 0x9 is unknown "
                                    "(at byte 31).";
    QTest::newRow("output not written")
        << false << 2 << "cannot write '/q/a/a.prj': No space left on device"
        << "/m/a.opt could not be converted: No space left on device.";
    QTest::newRow("PRJ cut short")
        << true << 1 << "section FF02 needs 8 bytes, but the file ends at 0x20"
        << "/p/two.prj is not a valid PRJ file: it ends at byte 32, inside a section.";
    QTest::newRow("PRJ cannot be read") << true << 1 << "cannot open: Permission denied"
                                        << "/p/two.prj could not be merged: Permission denied.";
    QTest::newRow("other merge failure") << true << 2 << "disk on fire"
                                         << "/p/two.prj could not be merged into /p/one.prj: "
                                            "disk on fire.";
  }
  void errorHeadlines() {
    QFETCH(bool, merge);
    QFETCH(int, kind);
    QFETCH(QString, detail);
    QFETCH(QString, headline);
    const std::string text = detail.toStdString();
    const FormatError format(31, text);
    const merge::MergeFileError file("/p/two.prj", text);
    const Error other(text);
    const std::exception& error = kind == 0   ? static_cast<const std::exception&>(format)
                                  : kind == 1 ? static_cast<const std::exception&>(file)
                                              : static_cast<const std::exception&>(other);
    QCOMPARE(QString::fromStdString(merge ? window::MergeHeadline("/p/one.prj", "/p/two.prj", error)
                                          : window::ConversionHeadline("/m/a.opt", error.what())),
             headline);
  }

  // The arrangement holds at any size: the preview pane takes two thirds of the extra width and
  // all the extra height, the lists the rest; the mode buttons keep to the lists' right, the
  // status line and the button to the bottom.
  void resizing() {
    Harness h;
    QVERIFY(h.Show());
    // The design's 465 by 388 pixels, and the preview pane to the right.
    QCOMPARE(h.window->minimumSize(), QSize(465 + 368, 388));
    const QRect files = h.optfile().geometry();
    h.window->resize(1233, 688);
    QTRY_COMPARE(h.window->size(), QSize(1233, 688));
    const auto at = [&](const char* name) { return h.Get<QWidget>(name).geometry(); };
    QCOMPARE(at("optfile").size(), files.size() + QSize(67, 150));
    QCOMPARE(at("prjdirectory").size(), QSize(161 + 66, 81 + 150));
    QCOMPARE(at("opcreate").left(), 360 + 133);
    QVERIFY(at("prjfile1").bottom() < at("optfile").top());
    QVERIFY(at("prjdirectory").right() < at("prjfile1").left());
    QVERIFY(at("optfile").right() < at("opcreate").left());
    QVERIFY(at("optfile").bottom() < at("status").top());
    QVERIFY(at("status").bottom() < at("prjwriter").top());
    QCOMPARE(at("prjwriter").bottom(), 688 - 1 - 19);
    QCOMPARE(at("prjwriter").center().x(), 160 + 64 + 66);
    QVERIFY(at("opcreate").right() < at("preview").left());
    QCOMPARE(at("preview").right(), 1233 - 1 - 8);
    QCOMPARE(at("preview").size(), QSize(360 + 267, 388 - 16 + 300));
    h.window->resize(465 + 368, 388);
    QTRY_COMPARE(h.optfile().geometry(), files);
  }

  // No two controls a user works with cover one another, at the smallest size or a large one
  // (the labels sit a pixel into the lists below them, as the design has them).
  void controlsDoNotOverlap() {
    Harness h;
    QVERIFY(h.Show());
    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);  // every list shown
    const QStringList names{"prjdrive",  "prjdirectory", "prjfile1",     "opcreate",
                            "opmerge",   "optdrive",     "optdirectory", "optfile",
                            "prjwriter", "status",       "preview"};
    int compared = 0;
    for (const QSize size : {h.window->minimumSize(), QSize(1600, 1000)}) {
      h.window->resize(size);
      QTRY_COMPARE(h.window->size(), size);
      for (int i = 0; i < names.size(); ++i) {
        for (int j = i + 1; j < names.size(); ++j) {
          const QWidget& a = h.Get<QWidget>(names[i].toUtf8().constData());
          const QWidget& b = h.Get<QWidget>(names[j].toUtf8().constData());
          if (!a.isVisible() || !b.isVisible()) continue;
          ++compared;
          const auto in_window = [&](const QWidget& w) {
            return QRect(w.mapTo(h.window.get(), QPoint(0, 0)), w.size());
          };
          QVERIFY2(
              !in_window(a).intersects(in_window(b)),
              qPrintable(names[i] + " and " + names[j] + " overlap at " +
                         QString::number(size.width()) + "x" + QString::number(size.height())));
        }
      }
    }
  }

  // Another program's new file shows up without leaving the folder; F5 lists again at once.
  void listsFollowOtherPrograms() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    Harness h;
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    WriteFile(top_ + "/b.opt");
    QTRY_COMPARE(h.optfile().Names(), QStringList({"a.opt", "b.opt"}));
    QDir(top_).mkpath("made");
    QTRY_VERIFY(h.optdirectory().ListedFolders().contains(top_ + "/made"));
    QCOMPARE(h.optfile().SelectedNames(), QStringList{"a.opt"});

    WriteFile(top_ + "/c.opt");
    QTest::keyClick(h.window.get(), Qt::Key_F5);
    QCOMPARE(h.optfile().Names(), QStringList({"a.opt", "b.opt", "c.opt"}));
  }

  // The pane shows nothing once its file is no longer selected or no longer there; a current
  // folder that is removed gives way to its nearest parent.
  void previewClearsWhenItsFileIsNotSelectedOrGone() {
    WriteFile(top_ + "/models/ship.opt", SampleBytes());
    QDir(top_).mkpath("models/empty/deeper");
    QVERIFY(QDir::setCurrent(top_ + "/models"));
    Harness h;
    QVERIFY(h.Show());
    auto& preview = h.Get<ModelPreview>("preview");
    struct Case {
      const char* what;
      std::function<void()> act;
    };
    const Case cases[] = {
        {"another folder", [&] { QVERIFY(h.optdirectory().SetPath(top_ + "/models/empty")); }},
        {"the selection cleared", [&] { h.optfile().SetSelectedIndex(-1); }},
        {"the file removed", [&] { QVERIFY(QFile::remove(top_ + "/models/ship.opt")); }},
    };
    for (const Case& c : cases) {
      if (!QFile::exists(top_ + "/models/ship.opt"))
        WriteFile(top_ + "/models/ship.opt", SampleBytes());
      QVERIFY(h.optdirectory().SetPath(top_ + "/models"));
      QTRY_VERIFY(h.optfile().Names().contains("ship.opt"));
      Harness::ClickName(h.optfile(), "ship.opt");
      QTRY_VERIFY2(!preview.Picture().isNull(), c.what);
      c.act();
      QTRY_VERIFY2(preview.File().isEmpty(), c.what);
      QVERIFY2(preview.Picture().isNull(), c.what);
    }

    // The shown folder and its parent removed: F5 goes to the nearest folder that is left.
    QVERIFY(h.optdirectory().SetPath(top_ + "/models/empty/deeper"));
    QVERIFY(QDir(top_ + "/models/empty").removeRecursively());
    QTest::keyClick(h.window.get(), Qt::Key_F5);
    QTRY_COMPARE(h.optdirectory().Path(), top_ + "/models");
    QCOMPARE(h.optfile().Path(), top_ + "/models");
  }

  // Files dropped on the window are selected: OPT files for Create New, a PRJ file on the top
  // group as the first file of a merge, PRJ files on the bottom group as the files folded in.
  void droppedFilesAreSelected() {
    WriteFile(top_ + "/a/x.opt");
    WriteFile(top_ + "/a/y.opt");
    WriteFile(top_ + "/p/first.prj");
    WriteFile(top_ + "/q/second.prj");
    WriteFile(top_ + "/q/third.prj");
    WriteFile(top_ + "/q/notes.txt");
    Harness h;
    QVERIFY(h.Show());
    const QPoint top_group = h.prjdirectory().geometry().center();
    const QPoint bottom_group = h.optdirectory().geometry().center();
    const auto drop = [&](const QStringList& files, QPoint at) {
      QMimeData data;
      QList<QUrl> urls;
      for (const QString& file : files) urls.append(QUrl::fromLocalFile(top_ + "/" + file));
      data.setUrls(urls);
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(h.window.get(), &enter);
      if (!enter.isAccepted()) return false;
      QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(h.window.get(), &dropped);
      return dropped.isAccepted();
    };

    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    QVERIFY(drop({"a/x.opt", "a/y.opt"}, top_group));  // OPT files go to the bottom lists
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.optdirectory().Path(), top_ + "/a");
    QCOMPARE(h.optfile().SelectedNames(), QStringList({"x.opt", "y.opt"}));

    QVERIFY(drop({"p/first.prj"}, top_group));
    QVERIFY(h.opmerge().isChecked());
    QCOMPARE(h.prjdirectory().Path(), top_ + "/p");
    QCOMPARE(h.prjfile1().SelectedNames(), QStringList{"first.prj"});

    QVERIFY(drop({"q/second.prj", "q/third.prj"}, bottom_group));
    QCOMPARE(h.optdirectory().Path(), top_ + "/q");
    QCOMPARE(h.optfile().SelectedNames(), QStringList({"second.prj", "third.prj"}));
    QCOMPARE(h.prjfile1().SelectedNames(), QStringList{"first.prj"});  // kept
    QVERIFY(h.feedback->errors.isEmpty());

    // Anything but OPT and PRJ files is not taken; a mixture is refused with a message.
    QVERIFY(!drop({"q/notes.txt"}, bottom_group));
    QVERIFY(drop({"a/x.opt", "q/third.prj"}, bottom_group));
    QCOMPARE(h.feedback->errors.size(), 1);
    QVERIFY(h.feedback->errors[0].summary.contains("not both"));
    QCOMPARE(h.optfile().SelectedNames(), QStringList({"second.prj", "third.prj"}));
  }

  // Escape stops a run of several files between two files, and Cancel holds the focus
  // meanwhile.
  void escapeCancelsARun() {
    const QString models = top_ + "/models";
    for (const char* name : {"a.opt", "b.opt", "c.opt"}) WriteFile(models + "/" + name);
    std::atomic<int> converted = 0;
    Harness* harness = nullptr;
    Harness h({[&](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                   BatchObserver& observer) {
                 GatedObserver gated(observer, harness->gate);
                 return EachFile([&](auto&&...) -> ConversionResult {
                   ++converted;
                   return {};
                 })(files, options, gated);
               },
               {}});
    harness = &h;
    QVERIFY(h.Show());
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    QVERIFY(h.optdirectory().SetPath(models));
    SelectAll(h.optfile());
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    h.WaitAtGate(1);
    QCOMPARE(QApplication::focusWidget(), &h.cancel());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!h.cancel().isEnabled());
    h.gate.OpenAll();
    h.WaitForRun();
    QCOMPARE(converted.load(), 1);
    QVERIFY(h.status().text().contains("canceled before the rest"));
  }

  // After a conversion: where no program opens folders, "Open folder" says so in the window;
  // switching modes empties the status line.
  void openFolderWithoutAFileManagerAndSwitchingModes() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    Harness h({EachFile([&](auto&&...) {
                 ConversionResult result;
                 result.output_folder = (top_ + "/a").toStdString();
                 result.prj_path = (top_ + "/a/a.prj").toStdString();
                 return result;
               }),
               {}});
    QVERIFY(h.Show());
    Harness::ClickName(h.optfile(), "a.opt");
    h.Write();
    QVERIFY(!h.status().text().isEmpty());
    QVERIFY(h.openfolder().isVisible());
    // The offscreen platform has no program to open a folder with.
    emit h.openfolder().linkActivated("open");
    QCOMPARE(h.feedback->errors.size(), 1);
    QCOMPARE(h.feedback->errors[0].summary,
             "The folder " + top_ +
                 "/a could not be opened: no file manager is set up to open "
                 "folders.");

    QTest::mouseClick(&h.opmerge(), Qt::LeftButton);
    QVERIFY(h.status().text().isEmpty());
    QVERIFY(h.openfolder().isHidden());
  }

  // A problem with the file named on the command line is shown once the window is.
  void aProblemBeforeTheWindowIsShownWaitsForIt() {
    Harness h;
    h.window->ReportWhenShown("The file /x.opt does not exist.");
    QTest::qWait(50);
    QVERIFY(h.feedback->errors.isEmpty());
    QVERIFY(h.Show());
    QTRY_COMPARE(h.feedback->errors.size(), 1);
    QCOMPARE(h.feedback->errors[0].summary, QString("The file /x.opt does not exist."));
  }

  // Enter on the focused button presses it; the access keys choose the mode.
  void keyboard() {
    WriteFile(top_ + "/a.opt");
    QVERIFY(QDir::setCurrent(top_));
    std::atomic<int> runs = 0;
    Harness h({EachFile([&](auto&&...) -> ConversionResult {
                 ++runs;
                 return {};
               }),
               {}});
    QVERIFY(h.Show());
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    Harness::ClickName(h.optfile(), "a.opt");
    h.prjwriter().setFocus();
    QTest::keyClick(&h.prjwriter(), Qt::Key_Return);
    h.WaitForRun();
    QCOMPARE(runs.load(), 1);
    QCOMPARE(QApplication::focusWidget(), &h.prjwriter());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
    QTRY_VERIFY(h.opmerge().isChecked());  // an access key presses the button visibly first
    h.opcreate().setFocus();
    QTest::keyClick(&h.opcreate(), Qt::Key_Enter);
    QVERIFY(h.opcreate().isChecked());
    QCOMPARE(h.optfile().SelectedNames(), QStringList{"a.opt"});
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
  // Selects every name of a file list: Ctrl+A, as a user does.
  static void SelectAll(FileList& list) {
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
  }
  // Counts the paint events a widget receives.
  struct PaintCounter : QObject {
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++count;
      return false;
    }
    int count = 0;
  };
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
