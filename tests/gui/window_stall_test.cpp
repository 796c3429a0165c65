// The window never waits for its work: while a run converts several large files and the preview
// reads the selected one, resizing and painting the window are never held up.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/gui/gui_test_support.h"
#include "tests/support/workload_model.h"
#include "usecases/batch_conversion.h"

namespace durvane::gui {
namespace {

using testing::Harness;
using testing::WriteFile;

// How long the window's thread has been asleep (waiting on a lock, a semaphore or a file), in
// nanoseconds: its age less its time on a processor and its time waiting for one. Unlike the
// wall clock this does not grow when other programs keep the processors busy, so a machine
// under load does not fail the test; a thread that waits for other threads does.
std::int64_t AsleepNs(const QElapsedTimer& since_start) {
  std::ifstream stat("/proc/thread-self/schedstat");
  std::int64_t on_cpu = 0;
  std::int64_t runnable = 0;
  stat >> on_cpu >> runnable;
  return since_start.nsecsElapsed() - on_cpu - runnable;
}

class WindowStallTest : public QObject {
  Q_OBJECT

 private slots:
  void resizingDuringARunNeverWaits() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::exists("/proc/thread-self/schedstat"));
    // Files large enough that converting them and reading one for the preview takes seconds.
    fixture::WorkloadShape shape;
    shape.top_level_nodes = 60;
    shape.textures = 16;
    QStringList names;
    for (int i = 0; i < 8; ++i) {
      shape.seed = static_cast<std::uint64_t>(i + 1);
      const fixture::BuiltOpt model = fixture::WorkloadModel(shape);
      names.append(QStringLiteral("large%1.opt").arg(i));
      WriteFile(dir.filePath(names.back()),
                QByteArray(reinterpret_cast<const char*>(model.bytes.data()),
                           static_cast<qsizetype>(model.bytes.size())));
    }
    QDir(dir.path()).mkpath("qel");

    // The library's conversion, each file let go by the loop below, so that the run lasts
    // however fast the machine converts.
    Harness* harness = nullptr;
    Harness h({[&](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                   BatchObserver& observer) {
                 testing::GatedObserver gated(observer, harness->gate);
                 return ConvertFiles(files, options, gated);
               },
               {}});
    harness = &h;
    QVERIFY(h.Show());
    QVERIFY(h.prjdirectory().SetPath(dir.filePath("qel")));
    QVERIFY(h.optdirectory().SetPath(dir.path()));
    h.optfile().setFocus();
    QTest::keyClick(&h.optfile(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(h.optfile().SelectedNames(), names);
    QTest::mouseClick(&h.prjwriter(), Qt::LeftButton);
    QVERIFY(h.window->IsRunning());

    // Resizes the window between its smallest size and a large one, painting it each time,
    // as a user dragging its corner does, and keeps the longest time the window's thread
    // slept in one step. A file is let go every few steps.
    QElapsedTimer clock;
    clock.start();
    std::int64_t longest_ns = 0;
    int steps = 0;
    constexpr int kStepsPerFile = 4;
    const QSize sizes[] = {h.window->minimumSize(), QSize(1400, 900)};
    while (h.window->IsRunning() && clock.elapsed() < 60000) {
      if (steps % kStepsPerFile == 0) h.gate.Open();
      const std::int64_t asleep = AsleepNs(clock);
      h.window->resize(sizes[steps % 2]);
      QApplication::processEvents();
      h.window->repaint();
      longest_ns = std::max(longest_ns, AsleepNs(clock) - asleep);
      ++steps;
      QTest::qSleep(20);  // room for the run's progress to come in
    }
    h.WaitForRun();
    qInfo("%d steps in %lld ms; the longest wait %lld ms; %s", steps,
          static_cast<long long>(clock.elapsed()), static_cast<long long>(longest_ns / 1000000),
          qPrintable(h.status().text()));
    QVERIFY2(longest_ns < 100'000'000,
             qPrintable(QStringLiteral("the window's thread waited %1 ms in one step of %2")
                            .arg(longest_ns / 1'000'000)
                            .arg(steps)));
    QVERIFY2(steps > 7 * kStepsPerFile,
             qPrintable(QStringLiteral("the run ended after %1 steps").arg(steps)));
    QCOMPARE(QDir(dir.filePath("qel")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 8);
  }
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::WindowStallTest)
#include "window_stall_test.moc"
