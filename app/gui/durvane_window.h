// The program's window, Durvane: a top group that chooses the QEL directory (or the first PRJ
// file), a bottom group that chooses the OPT files (or the second PRJ file), two option buttons
// for the mode, and the button that starts the chosen operation. It is the Qt face of the
// window's logic (app/window), which decides what a press runs and what the window says: the
// window keeps its lists in step, runs what the logic hands it on a thread pool of its own
// while it stays inert (so that its painting never waits behind them), and shows what the
// logic asks. Files dropped on it are selected.
#pragma once

#include <QFileSystemWatcher>
#include <QFuture>
#include <QFutureWatcher>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>
#include <memory>
#include <optional>
#include <stop_token>

#include "app/gui/drive_list.h"
#include "app/gui/elided_label.h"
#include "app/gui/file_list.h"
#include "app/gui/folder_list.h"
#include "app/gui/model_export_menu.h"
#include "app/gui/model_preview.h"
#include "app/gui/user_feedback.h"
#include "app/window/operations.h"
#include "app/window/window_logic.h"

namespace durvane::gui {

using window::LibraryOperations;
using window::Operations;

class Durvane : public QWidget, private window::WindowView {
  Q_OBJECT

 public:
  // Loads the window in Create New mode with every list at the process's current folder.
  // Messages and the beep go to `feedback`, or to dialogs and the platform's beep when null.
  explicit Durvane(Operations operations, std::unique_ptr<UserFeedback> feedback = nullptr,
                   QWidget* parent = nullptr);
  // Waits for a run in progress, which stops after its current file, and removes the backup
  // kept to undo the last merge.
  ~Durvane() override;

  // Whether an operation is running; the window takes no input meanwhile.
  bool IsRunning() const { return logic_.Running(); }

  // Shows an error about something asked of the window before it was on screen (a file named
  // on the command line) once the window is shown, so that the dialog opens over it.
  void ReportWhenShown(const QString& summary, const QString& detail = {});

 signals:
  // A run has ended and its outcome has been shown; the window takes input again.
  void RunFinished();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What the logic asks of the window.
  void ShowMode(window::Mode mode, const window::ModeTexts& texts) override;
  void ShowRunStarted(const window::RunShown& run) override;
  void ShowRunEnded() override;
  void ShowStatus(const window::StatusShown& status) override;
  void ShowPreview(const std::string& file) override;
  void ShowError(const std::string& headline, const std::string& details) override;
  void ShowWarnings(const std::string& summary, const std::vector<std::string>& lines) override;
  void Beep() override;

  void FollowDrive(DriveList& drive, FolderList& folder);
  void FollowFolder(FolderList& folder, DriveList& drive, FileList& files);
  void OnWriteClicked();
  // What the lists hold, for the logic.
  window::Selection CurrentSelection() const;
  void StartRun(std::optional<window::RunPlan> plan);
  // Lists the shown folders again (after a run, on F5, when another program changes them).
  void RefreshLists();
  // Draws the file last selected in a list the mode uses, in the preview pane.
  void Preview(const FileList& list);
  void ShowModeSelectionInPreview();
  // Clears the preview when its file is no longer selected in a list of the mode or is gone.
  void ForgetStalePreview();
  // The local files a drag carries; empty when it carries anything else.
  static QStringList DroppedFiles(const QMimeData* data);
  // Shows, from any thread, that the run waits for another durvane run.
  window::SayWaiting WaitingReporter();
  void WatchShownFolders();

  void PlaceControls(int extra_width, int extra_height);
  void SetTabOrder();
  QList<QWidget*> Controls();

  std::unique_ptr<UserFeedback> feedback_;
  window::WindowLogic logic_;
  QFutureWatcher<window::RunOutcome> run_watcher_;
  // Runs go here, never to Qt's global pool, which Qt's own painting uses too.
  QThreadPool run_pool_;
  // The bar's text of the run going.
  window::RunShown run_shown_;
  QString report_when_shown_[2];
  bool shown_once_ = false;
  QFileSystemWatcher folder_watcher_;
  QString open_folder_;
  QPointer<QWidget> focus_before_run_;

  QLabel label1_{this};
  DriveList prjdrive_{this};
  FolderList prjdirectory_{this};
  FileList prjfile1_{this};
  QRadioButton opcreate_{this};
  QRadioButton opmerge_{this};
  QLabel label2_{this};
  DriveList optdrive_{this};
  FolderList optdirectory_{this};
  FileList optfile_{this};
  ElidedLabel status_{this};
  QLabel openfolder_{this};
  QLabel undo_{this};  // at the place of openfolder_, which a merge does not show
  QProgressBar progress_{this};
  QPushButton cancel_{this};
  QPushButton prjwriter_{this};
  ModelPreview preview_{this};                    // added to the right of the design
  std::unique_ptr<ModelExportMenu> export_menu_;  // the preview's context menu
};

}  // namespace durvane::gui
