#include "app/gui/durvane_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <chrono>
#include <stdexcept>

#include "app/gui/durvane_icon.xpm"
#include "app/gui/local_path.h"
#include "app/gui/open_file.h"
#include "core/platform.h"

namespace durvane::gui {
namespace {

// The progress bar's text: the logic's, or else the bar's own percentage.
QString BarLabel(const window::RunShown& run, int done) {
  const std::string label = run.Label(done);
  return label.empty() ? QStringLiteral("%p%") : FromBytes(label);
}

constexpr int kTwipsPerPixel = 15;

constexpr int kDesignWidth = 6975;
// The preview pane, added to the right of the design, at the smallest size.
constexpr int kPreviewWidth = 360;
// Of the width the window gains over its smallest size, the part the lists get; the preview
// pane gets the rest.
constexpr int kListsShareOfWidth = 3;  // one in three
constexpr int kDesignHeight = 5820;

// How much a control moves and grows, in pixels, when the window is larger than its start
// size.
struct Stretch {
  int dx = 0;
  int dy = 0;
  int dw = 0;
  int dh = 0;
};

// Places a control from its design position and size in twips, moved and grown by `stretch`.
void Place(QWidget& control, int left, int top, int width, int height, Stretch stretch = {}) {
  control.setGeometry(left / kTwipsPerPixel + stretch.dx, top / kTwipsPerPixel + stretch.dy,
                      width / kTwipsPerPixel + stretch.dw, height / kTwipsPerPixel + stretch.dh);
}

}  // namespace

Durvane::Durvane(Operations operations, std::unique_ptr<UserFeedback> feedback, QWidget* parent)
    : QWidget(parent), feedback_(std::move(feedback)), logic_(std::move(operations), *this) {
  if (!feedback_) feedback_ = std::make_unique<DialogFeedback>(this);
  export_menu_ = std::make_unique<ModelExportMenu>(preview_, *feedback_);

  setObjectName(QStringLiteral("Durvane"));
  // "DURVANE v" and the version's first two numbers.
  const QString version = QStringLiteral(DURVANE_VERSION);
  setWindowTitle(QStringLiteral("DURVANE v") + version.section(QLatin1Char('.'), 0, 1));
  setWindowIcon(QIcon(QPixmap(durvane_icon_xpm)));

  label1_.setObjectName(QStringLiteral("Label1"));
  prjdrive_.setObjectName(QStringLiteral("prjdrive"));
  prjdirectory_.setObjectName(QStringLiteral("prjdirectory"));
  prjfile1_.setObjectName(QStringLiteral("prjfile1"));
  opcreate_.setObjectName(QStringLiteral("opcreate"));
  opmerge_.setObjectName(QStringLiteral("opmerge"));
  label2_.setObjectName(QStringLiteral("Label2"));
  optdrive_.setObjectName(QStringLiteral("optdrive"));
  optdirectory_.setObjectName(QStringLiteral("optdirectory"));
  optfile_.setObjectName(QStringLiteral("optfile"));
  status_.setObjectName(QStringLiteral("status"));
  openfolder_.setObjectName(QStringLiteral("openfolder"));
  progress_.setObjectName(QStringLiteral("progress"));
  cancel_.setObjectName(QStringLiteral("cancel"));
  prjwriter_.setObjectName(QStringLiteral("prjwriter"));
  preview_.setObjectName(QStringLiteral("preview"));
  undo_.setObjectName(QStringLiteral("undo"));

  // The access keys are Alt with the underlined letter; the captions read as before.
  opcreate_.setText(QStringLiteral("&Create New"));
  opmerge_.setText(QStringLiteral("&Merge PRJ"));
  prjwriter_.setText(QStringLiteral("&Write to *.prj"));
  QFont button_font(QStringLiteral("MS Sans Serif"));
  button_font.setPointSizeF(8.25);
  button_font.setBold(true);
  prjwriter_.setFont(button_font);
  // Enter on the focused button presses it.
  prjwriter_.setAutoDefault(true);
  cancel_.setText(QStringLiteral("Cancel"));
  cancel_.setAutoDefault(true);
  cancel_.setFocusPolicy(Qt::StrongFocus);
  cancel_.hide();
  progress_.hide();
  status_.setTextFormat(Qt::PlainText);
  status_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  openfolder_.setText(QStringLiteral("<a href=\"open\">Open folder</a>"));
  openfolder_.hide();
  undo_.setText(QStringLiteral("<a href=\"undo\">Undo</a>"));
  undo_.setToolTip(QStringLiteral("Put the first file back as it was before the merge"));
  undo_.hide();
  setAcceptDrops(true);
  // One run at a time, on the pool's one thread.
  run_pool_.setMaxThreadCount(1);
  prjfile1_.SetPattern(QStringLiteral("*.prj"));
  for (QRadioButton* mode : {&opcreate_, &opmerge_}) mode->installEventFilter(this);

  setMinimumSize(kDesignWidth / kTwipsPerPixel + kPreviewWidth + 8, kDesignHeight / kTwipsPerPixel);
  resize(minimumSize());
  PlaceControls(0, 0);
  SetTabOrder();

  connect(&opcreate_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) logic_.ChooseMode(window::Mode::kCreateNew);
  });
  connect(&opmerge_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) logic_.ChooseMode(window::Mode::kMergePrj);
  });
  connect(&prjdrive_, &DriveList::DriveChanged, this,
          [this] { FollowDrive(prjdrive_, prjdirectory_); });
  connect(&optdrive_, &DriveList::DriveChanged, this,
          [this] { FollowDrive(optdrive_, optdirectory_); });
  connect(&prjdirectory_, &FolderList::PathChanged, this,
          [this] { FollowFolder(prjdirectory_, prjdrive_, prjfile1_); });
  connect(&optdirectory_, &FolderList::PathChanged, this,
          [this] { FollowFolder(optdirectory_, optdrive_, optfile_); });
  for (FolderList* folders : {&prjdirectory_, &optdirectory_}) {
    connect(folders, &FolderList::FolderRefused, this, [this](const QString& folder) {
      feedback_->ShowError(QStringLiteral("The folder %1 cannot be opened.").arg(folder),
                           QStringLiteral("The lists stay as they were."));
    });
  }
  connect(&prjwriter_, &QPushButton::clicked, this, &Durvane::OnWriteClicked);
  for (FileList* list : {&prjfile1_, &optfile_}) {
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] { Preview(*list); });
  }
  connect(&cancel_, &QPushButton::clicked, this, [this] {
    logic_.Cancel();
    cancel_.setEnabled(false);
  });
  connect(&run_watcher_, &QFutureWatcher<window::RunOutcome>::finished, this, [this] {
    logic_.Finish(run_watcher_.result());
    emit RunFinished();
  });
  connect(&openfolder_, &QLabel::linkActivated, this, [this] {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(open_folder_))) return;
    feedback_->ShowError(
        QStringLiteral("The folder %1 could not be opened: no file manager is set up to open "
                       "folders.")
            .arg(open_folder_),
        {});
  });
  // Puts the first file of the last merge back as it was, on the run pool.
  connect(&undo_, &QLabel::linkActivated, this,
          [this] { StartRun(logic_.PressUndo(WaitingReporter())); });
  connect(&folder_watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    // A run refreshes the lists when it ends.
    if (!logic_.Running()) RefreshLists();
  });
  auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);  // owned by the window
  connect(refresh, &QShortcut::activated, this, [this] {
    if (!logic_.Running()) RefreshLists();
  });
  // Escape stops a run of several files between two files, as Cancel does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);  // owned by the window
  connect(escape, &QShortcut::activated, this, [this] {
    if (logic_.Running() && cancel_.isVisible() && cancel_.isEnabled()) cancel_.click();
  });

  // The start state is the state after choosing Create New.
  opcreate_.setChecked(true);
  optfile_.setFocus();
  WatchShownFolders();
}

Durvane::~Durvane() {
  logic_.Cancel();
  run_watcher_.waitForFinished();
}

void Durvane::ReportWhenShown(const QString& summary, const QString& detail) {
  if (shown_once_) {
    feedback_->ShowError(summary, detail);
    return;
  }
  report_when_shown_[0] = summary;
  report_when_shown_[1] = detail;
}

void Durvane::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  // Painted means placed on the screen: a dialog opened now is centred over the window.
  if (!report_when_shown_[0].isEmpty()) {
    QTimer::singleShot(0, this, [this] {
      feedback_->ShowError(report_when_shown_[0], report_when_shown_[1]);
      report_when_shown_[0].clear();
    });
  }
}

void Durvane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls(std::max(0, width() - minimumWidth()), std::max(0, height() - minimumHeight()));
}

bool Durvane::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a focused option button chooses it, as on the command button.
  if (event->type() == QEvent::KeyPress && (watched == &opcreate_ || watched == &opmerge_)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      static_cast<QRadioButton*>(watched)->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Durvane::PlaceControls(int window_extra_width, int extra_height) {
  // The preview pane takes most of the extra width, the folder column and the file column
  // share the rest; the preview and the lists grow by all the extra height, the top and the
  // bottom group sharing it.
  // The mode buttons keep to the lists' right, the status line and the button to the bottom.
  const int extra_width = window_extra_width / kListsShareOfWidth;
  const int preview_width = window_extra_width - extra_width;
  const int folders = extra_width / 2;
  const int files = extra_width - folders;
  const int top = extra_height / 2;
  const int bottom = extra_height - top;
  Place(label1_, 360, 360, 1815, 255);
  Place(prjdrive_, 360, 600, 2415, 315, {0, 0, folders, 0});
  Place(prjdirectory_, 360, 960, 2415, 1215, {0, 0, folders, top});
  Place(prjfile1_, 2880, 600, 2175, 1650, {folders, 0, files, top});
  Place(opcreate_, 5400, 1920, 1335, 375, {extra_width, top, 0, 0});
  Place(opmerge_, 5400, 2400, 1335, 375, {extra_width, top, 0, 0});
  Place(label2_, 360, 2400, 1815, 255, {0, top, 0, 0});
  Place(optdrive_, 360, 2640, 2415, 315, {0, top, folders, 0});
  Place(optdirectory_, 360, 3000, 2415, 1215, {0, top, folders, bottom});
  Place(optfile_, 2880, 2640, 2175, 1650, {folders, top, files, bottom});
  Place(status_, 360, 4380, 5055, 330, {0, extra_height, extra_width, 0});
  Place(progress_, 360, 4380, 5055, 330, {0, extra_height, extra_width, 0});
  Place(openfolder_, 5520, 4380, 1095, 330, {extra_width, extra_height, 0, 0});
  Place(undo_, 5520, 4380, 1095, 330, {extra_width, extra_height, 0, 0});
  Place(cancel_, 5520, 4350, 1095, 390, {extra_width, extra_height, 0, 0});
  Place(prjwriter_, 2400, 4800, 1935, 735, {extra_width / 2, extra_height, 0, 0});
  preview_.setGeometry(kDesignWidth / kTwipsPerPixel + extra_width, 8,
                       kPreviewWidth + preview_width,
                       kDesignHeight / kTwipsPerPixel - 16 + extra_height);
}

void Durvane::SetTabOrder() {
  // Design order: optfile, optdirectory, optdrive, (Label2), prjdirectory, prjdrive, (Label1),
  // prjwriter, opcreate, opmerge, prjfile1. Labels take no focus.
  QWidget* const order[] = {&optfile_,   &optdirectory_, &optdrive_, &prjdirectory_, &prjdrive_,
                            &prjwriter_, &opcreate_,     &opmerge_,  &prjfile1_,     &cancel_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

QList<QWidget*> Durvane::Controls() {
  return {&prjdrive_,   &prjdirectory_, &prjfile1_, &opcreate_,  &opmerge_,
          &optdrive_,   &optdirectory_, &optfile_,  &prjwriter_, &status_,
          &openfolder_, &undo_,         &label1_,   &label2_};
}

void Durvane::ShowMode(window::Mode /*mode*/, const window::ModeTexts& texts) {
  // Both modes share the folder lists; the bottom file list takes several files in both.
  prjfile1_.setVisible(texts.top_files_shown);
  optfile_.SetPattern(QString::fromLatin1(texts.bottom_pattern));
  optfile_.SetMultipleSelection(true);
  label1_.setText(QString::fromLatin1(texts.top_caption));
  label2_.setText(QString::fromLatin1(texts.bottom_caption));
  ShowModeSelectionInPreview();
}

void Durvane::FollowDrive(DriveList& drive, FolderList& folder) {
  const QString root = drive.CurrentDrive();
  if (folder.SetPath(root)) return;
  // An unreadable drive: keep the lists where they were, the drive list included.
  drive.ShowDriveOf(folder.Path());
  feedback_->ShowError(QStringLiteral("The drive %1 cannot be read.").arg(root),
                       QStringLiteral("The lists stay as they were."));
}

void Durvane::FollowFolder(FolderList& folder, DriveList& drive, FileList& files) {
  files.SetPath(folder.Path());
  // Going up can leave a mounted file system; the drive list shows where the folder now is.
  drive.ShowDriveOf(folder.Path());
  WatchShownFolders();
  ForgetStalePreview();
}

void Durvane::OnWriteClicked() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  StartRun(logic_.Press(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                        QApplication::doubleClickInterval(), CurrentSelection(),
                        WaitingReporter()));
}

window::Selection Durvane::CurrentSelection() const {
  return {.top_folder = ToBytes(prjdirectory_.Path()),
          .top_names = ToBytes(prjfile1_.SelectedNames()),
          .bottom_folder = ToBytes(optdirectory_.Path()),
          .bottom_names = ToBytes(optfile_.SelectedNames())};
}

window::SayWaiting Durvane::WaitingReporter() {
  // The progress bar is what a run shows; it says why the run does not advance.
  QPointer<QProgressBar> bar(&progress_);
  return [bar](const std::string& message) {
    QMetaObject::invokeMethod(
        bar,
        [bar, message = FromBytes(message)] {
          if (bar) bar->setFormat(message);
        },
        Qt::QueuedConnection);
  };
}

void Durvane::StartRun(std::optional<window::RunPlan> plan) {
  if (!plan) return;
  QPointer<QProgressBar> bar(&progress_);
  window::ReportProgress report = [this, bar, shown = run_shown_](int done) {
    QMetaObject::invokeMethod(
        this,
        [bar, shown, done] {
          if (!bar) return;
          bar->setValue(done);
          bar->setFormat(BarLabel(shown, done));
        },
        Qt::QueuedConnection);
  };
  run_watcher_.setFuture(QtConcurrent::run(
      &run_pool_,
      [run = std::move(plan->run), stop = logic_.StopToken(), report = std::move(report)] {
        // The run and the threads it starts yield to the window's thread and to the threads Qt
        // paints with.
        platform::LowerThreadPriority();
        return run(stop, report);
      }));
}

void Durvane::ShowRunStarted(const window::RunShown& run) {
  run_shown_ = run;
  // The window stays painted but takes no input: every control is disabled, so clicks and
  // keys given meanwhile are dropped, not queued for later. Only Cancel takes a click.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  focus_before_run_ = focusWidget();
  for (QWidget* control : Controls()) control->setEnabled(false);
  status_.hide();
  openfolder_.hide();
  undo_.hide();
  // A run that cannot count its work shows the busy bar.
  progress_.setRange(0, run.units);
  progress_.setValue(0);
  progress_.setFormat(BarLabel(run, 0));
  progress_.show();
  cancel_.setVisible(run.cancel_shown);
  cancel_.setEnabled(true);
  // Enter or Space then stops the run, as Escape does.
  if (run.cancel_shown) cancel_.setFocus();
}

void Durvane::ShowRunEnded() {
  progress_.hide();
  cancel_.hide();
  // Input given at the very end of the run is still queued: deliver it to the disabled
  // controls, which drops it, before they take input again.
  QCoreApplication::processEvents();
  for (QWidget* control : Controls()) control->setEnabled(true);
  if (focus_before_run_) focus_before_run_->setFocus();
  QApplication::restoreOverrideCursor();
  RefreshLists();
  status_.show();
}

void Durvane::ShowPreview(const std::string& file) {
  const QString path = FromBytes(file);
  if (preview_.File() == path) {
    preview_.Reload();
  } else {
    preview_.ShowFile(path);
  }
}

void Durvane::ShowStatus(const window::StatusShown& status) {
  status_.setText(FromBytes(status.text));
  status_.setToolTip(FromBytes(status.tooltip));
  open_folder_ = FromBytes(status.open_folder);
  openfolder_.setVisible(!open_folder_.isEmpty());
  undo_.setVisible(status.undo_offered);
}

void Durvane::ShowError(const std::string& headline, const std::string& details) {
  feedback_->ShowError(FromBytes(headline), FromBytes(details));
}

void Durvane::ShowWarnings(const std::string& summary, const std::vector<std::string>& lines) {
  feedback_->ShowWarnings(FromBytes(summary), FromBytes(lines));
}

void Durvane::Beep() {
  feedback_->Beep();
}

void Durvane::RefreshLists() {
  prjdirectory_.Refresh();
  optdirectory_.Refresh();
  prjfile1_.Refresh();
  optfile_.Refresh();
  WatchShownFolders();
  ForgetStalePreview();
}

QStringList Durvane::DroppedFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  QStringList files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    files.append(url.toLocalFile());
  }
  return files;
}

void Durvane::dragEnterEvent(QDragEnterEvent* event) {
  if (logic_.TakesDrop(ToBytes(DroppedFiles(event->mimeData())))) event->acceptProposedAction();
}

void Durvane::dragMoveEvent(QDragMoveEvent* event) {
  if (logic_.TakesDrop(ToBytes(DroppedFiles(event->mimeData())))) event->acceptProposedAction();
}

void Durvane::dropEvent(QDropEvent* event) {
  const QStringList files = DroppedFiles(event->mimeData());
  if (!logic_.TakesDrop(ToBytes(files))) return;
  event->acceptProposedAction();
  // The top group reaches down to the bottom group's caption.
  const bool on_top_group = event->position().y() < label2_.geometry().top();
  const QString problem = DropFiles(*this, files, on_top_group);
  if (!problem.isEmpty()) feedback_->ShowError(problem, {});
}

void Durvane::WatchShownFolders() {
  const QStringList shown{prjdirectory_.Path(), optdirectory_.Path()};
  const QStringList watched = folder_watcher_.directories();
  for (const QString& folder : watched) {
    if (!shown.contains(folder)) folder_watcher_.removePath(folder);
  }
  for (const QString& folder : shown) {
    if (!folder_watcher_.directories().contains(folder)) folder_watcher_.addPath(folder);
  }
}

void Durvane::ShowModeSelectionInPreview() {
  // The other mode's file is not drawn on: the pane shows the new mode's selection, if any.
  preview_.ShowFile({});
  Preview(optfile_);
}

void Durvane::ForgetStalePreview() {
  const QString shown = preview_.File();
  if (shown.isEmpty()) return;
  const bool selected =
      window::StillSelected(logic_.CurrentMode(), CurrentSelection(), ToBytes(shown));
  if (selected && QFileInfo(shown).isFile()) return;
  preview_.ShowFile({});
  // Another file of the mode may still be selected.
  if (optfile_.SelectedIndex() >= 0) Preview(optfile_);
}

void Durvane::Preview(const FileList& list) {
  if (list.SelectedIndex() < 0) {
    ForgetStalePreview();
    return;
  }
  const FolderList& folder = &list == &prjfile1_ ? prjdirectory_ : optdirectory_;
  preview_.ShowFile(QDir(folder.Path()).filePath(list.SelectedName()));
}

}  // namespace durvane::gui
