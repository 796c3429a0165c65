// Helpers for the window's tests: a recorder in place of the dialogs and the beep, a window
// harness that works its controls as a user does, and small file helpers.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <climits>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/gui/durvane_window.h"
#include "app/window/operations.h"
#include "app/gui/user_feedback.h"
#include "usecases/batch_conversion.h"
#include "usecases/conversion_run.h"
#include "tests/support/sample_model.h"

namespace durvane::gui::testing {

// Records what the window would have shown, in order.
class RecordingFeedback : public UserFeedback {
 public:
  struct Message {
    QString summary;
    QString detail;
  };

  void ShowError(const QString& summary, const QString& detail) override {
    errors.append({summary, detail});
    events.append(QStringLiteral("error"));
  }
  void ShowWarnings(const QString& summary, const QStringList& lines) override {
    warnings.append({summary, lines.join('\n')});
    events.append(QStringLiteral("warnings"));
  }
  void Beep() override { events.append(QStringLiteral("beep")); }

  int Beeps() const { return static_cast<int>(events.count(QStringLiteral("beep"))); }

  QList<Message> errors;
  QList<Message> warnings;
  QStringList events;
};

// The bundled sample model's OPT file.
inline QByteArray SampleBytes() {
  const auto model = fixture::SampleModel();
  return QByteArray(reinterpret_cast<const char*>(model.bytes.data()),
                    static_cast<qsizetype>(model.bytes.size()));
}

// Writes `bytes` to `path`, making the folders on the way.
inline void WriteFile(const QString& path, const QByteArray& bytes = {}) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadWhole(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The names of the files in `folder`, sorted.
inline QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A batch conversion over `convert_one` (the QEL directory, the OPT folder, the file name),
// one file after another as ConvertFiles does with one job: it stops between files and
// reports each file's end.
template <typename ConvertOne>
auto EachFile(ConvertOne convert_one) {
  return [convert_one](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                       BatchObserver& observer) {
    bool all = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (options.stop.stop_requested()) {
        observer.FileCancelled(i);
        all = false;
        continue;
      }
      observer.FileStarted(i, files[i]);
      try {
        const ConversionResult result = convert_one(options.qel_directory, files[i].parent_path(),
                                                    files[i].filename().string());
        observer.FileFinished(i, result);
      } catch (const std::exception& e) {
        observer.FileFailed(i, e.what());
        all = false;
      }
    }
    return all;
  };
}

// The library's batch conversion, and no merge.
inline Operations ConvertOnly() {
  return {[](const std::vector<std::filesystem::path>& files, const BatchOptions& options,
             BatchObserver& observer) { return ConvertFiles(files, options, observer); },
          {}};
}

// Holds runs on the worker thread until the test lets them go: a slow operation without
// sleeping. Each Pass() waits for its own Open().
class Gate {
 public:
  // On the worker thread.
  void Pass() {
    std::unique_lock lock(mutex_);
    const int mine = ++arrived_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return opened_ >= mine; });
  }
  int Arrived() const {
    const std::lock_guard lock(mutex_);
    return arrived_;
  }
  void Open(int passes = 1) {
    const std::lock_guard lock(mutex_);
    opened_ = opened_ > INT_MAX - passes ? INT_MAX : opened_ + passes;
    changed_.notify_all();
  }
  // Lets every run through from now on.
  void OpenAll() { Open(INT_MAX); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int arrived_ = 0;
  int opened_ = 0;
};

// Passes every event on to `observer`, and holds each file at `gate` as it starts.
class GatedObserver : public BatchObserver {
 public:
  GatedObserver(BatchObserver& observer, Gate& gate) : observer_(observer), gate_(gate) {}
  void FileStarted(std::size_t index, const std::filesystem::path& file) override {
    gate_.Pass();
    observer_.FileStarted(index, file);
  }
  void FileProgress(std::size_t index, ConversionStage stage) override {
    observer_.FileProgress(index, stage);
  }
  void FileRepeated(std::size_t index, const std::string& warning) override {
    observer_.FileRepeated(index, warning);
  }
  void FileFinished(std::size_t index, const ConversionResult& result) override {
    observer_.FileFinished(index, result);
  }
  void FileFailed(std::size_t index, const std::string& error) override {
    observer_.FileFailed(index, error);
  }
  void FileCancelled(std::size_t index) override { observer_.FileCancelled(index); }

 private:
  BatchObserver& observer_;
  Gate& gate_;
};

// Runs `work` on the window's thread and waits for it: for operations that look at the window
// from the worker thread.
inline void OnWindowThread(const std::function<void()>& work) {
  QMetaObject::invokeMethod(qApp, work, Qt::BlockingQueuedConnection);
}

// A window over a recorder, with typed access to its controls by object name.
struct Harness {
  explicit Harness(Operations operations = ConvertOnly()) {
    auto recorder = std::make_unique<RecordingFeedback>();
    feedback = recorder.get();
    window = std::make_unique<Durvane>(std::move(operations), std::move(recorder));
  }
  // A test that fails while a run waits at the gate must not wait for it forever.
  ~Harness() { gate.OpenAll(); }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  template <typename T>
  T& Get(const char* name) {
    T* control = window->findChild<T*>(QString::fromLatin1(name));
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return *control;
  }
  DriveList& prjdrive() { return Get<DriveList>("prjdrive"); }
  FolderList& prjdirectory() { return Get<FolderList>("prjdirectory"); }
  FileList& prjfile1() { return Get<FileList>("prjfile1"); }
  DriveList& optdrive() { return Get<DriveList>("optdrive"); }
  FolderList& optdirectory() { return Get<FolderList>("optdirectory"); }
  FileList& optfile() { return Get<FileList>("optfile"); }
  QRadioButton& opcreate() { return Get<QRadioButton>("opcreate"); }
  QRadioButton& opmerge() { return Get<QRadioButton>("opmerge"); }
  QLabel& Label1() { return Get<QLabel>("Label1"); }
  QLabel& Label2() { return Get<QLabel>("Label2"); }
  QPushButton& prjwriter() { return Get<QPushButton>("prjwriter"); }
  QPushButton& cancel() { return Get<QPushButton>("cancel"); }
  QLabel& status() { return Get<QLabel>("status"); }
  QLabel& openfolder() { return Get<QLabel>("openfolder"); }
  QProgressBar& progress() { return Get<QProgressBar>("progress"); }

  bool Show() {
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }
  // Selects `name` in a file list the way a user does, by clicking it.
  static void ClickName(FileList& list, const QString& name) {
    const int row = static_cast<int>(list.Names().indexOf(name));
    QVERIFY2(row >= 0, qPrintable(name));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(row)).center());
    QCOMPARE(list.SelectedIndex(), row);
  }
  // Switches to Merge PRJ and selects the first file at the top and the second at the bottom.
  void ChooseMerge(const QString& first, const QString& second) {
    QTest::mouseClick(&opmerge(), Qt::LeftButton);
    QVERIFY(opmerge().isChecked());
    QVERIFY(prjdirectory().SetPath(QFileInfo(first).path()));
    QVERIFY(optdirectory().SetPath(QFileInfo(second).path()));
    ClickName(prjfile1(), QFileInfo(first).fileName());
    ClickName(optfile(), QFileInfo(second).fileName());
  }
  // Presses the button as a separate press: later than a double click's second click.
  void Write() {
    if (last_write.isValid()) {
      const qint64 wait = QApplication::doubleClickInterval() + 20 - last_write.elapsed();
      if (wait > 0) QTest::qWait(static_cast<int>(wait));
    }
    QTest::mouseClick(&prjwriter(), Qt::LeftButton);
    last_write.start();
    WaitForRun();
  }
  // Waits until the run the button started, if any, has ended and been shown.
  void WaitForRun() { QTRY_VERIFY_WITH_TIMEOUT(!window->IsRunning(), 60000); }
  // Waits until `count` runs have reached the gate.
  void WaitAtGate(int count) { QTRY_COMPARE_WITH_TIMEOUT(gate.Arrived(), count, 60000); }
  QElapsedTimer last_write;
  Gate gate;

  RecordingFeedback* feedback = nullptr;
  std::unique_ptr<Durvane> window;
};

}  // namespace durvane::gui::testing
