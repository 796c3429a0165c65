#include "app/gui/durvane_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>

#include "app/gui/durvane_icon.xpm"

namespace durvane::gui {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kPreviewWidth = 360;

// Places a control from its design position and size in twips.
void Place(QWidget& control, int left, int top, int width, int height) {
  control.setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                      height / kTwipsPerPixel);
}

std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QStringList FromStrings(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list.append(QString::fromStdString(line));
  return list;
}

QString Quoted(const QString& name) {
  return QLatin1Char('\'') + name + QLatin1Char('\'');
}

// The hourglass for as long as a run lasts, also when it throws.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Keeps the window from acting on input while a run lasts. Clicks and keys given meanwhile
// are queued by the system and would otherwise be replayed after the run, starting it again
// or switching the mode: they are delivered while every control is still disabled, which
// drops them, before the controls are enabled again.
class InertWhileRunning {
 public:
  explicit InertWhileRunning(QWidget& window) : window_(window), focus_(window.focusWidget()) {
    window_.setEnabled(false);
  }
  ~InertWhileRunning() {
    QCoreApplication::processEvents();
    window_.setEnabled(true);
    if (focus_) focus_->setFocus();
  }
  InertWhileRunning(const InertWhileRunning&) = delete;
  InertWhileRunning& operator=(const InertWhileRunning&) = delete;

 private:
  QWidget& window_;
  QPointer<QWidget> focus_;
};

}  // namespace

Durvane::Durvane(Operations operations, std::unique_ptr<UserFeedback> feedback, QWidget* parent)
    : QWidget(parent), operations_(std::move(operations)), feedback_(std::move(feedback)) {
  if (!feedback_) feedback_ = std::make_unique<DialogFeedback>(this);

  setObjectName(QStringLiteral("Durvane"));
  setWindowTitle(QStringLiteral("DURVANE v1.3"));
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
  prjwriter_.setObjectName(QStringLiteral("prjwriter"));
  preview_.setObjectName(QStringLiteral("preview"));

  opcreate_.setText(QStringLiteral("Create New"));
  opmerge_.setText(QStringLiteral("Merge PRJ"));
  prjwriter_.setText(QStringLiteral("Write to *.prj"));
  QFont button_font(QStringLiteral("MS Sans Serif"));
  button_font.setPointSizeF(8.25);
  button_font.setBold(true);
  prjwriter_.setFont(button_font);
  prjfile1_.SetPattern(QStringLiteral("*.prj"));

  PlaceControls();
  SetTabOrder();

  connect(&opcreate_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnCreateNewClicked();
  });
  connect(&opmerge_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnMergeClicked();
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

  // The start state is the state after choosing Create New.
  opcreate_.setChecked(true);
  optfile_.setFocus();
}

Durvane::~Durvane() = default;

void Durvane::PlaceControls() {
  // The design's 6975 twips, and the preview pane beside them.
  setFixedSize(6975 / kTwipsPerPixel + kPreviewWidth + 8, 5820 / kTwipsPerPixel);
  preview_.setGeometry(6975 / kTwipsPerPixel, 8, kPreviewWidth, 5820 / kTwipsPerPixel - 16);
  Place(label1_, 360, 360, 1815, 255);
  Place(prjdrive_, 360, 600, 2415, 315);
  Place(prjdirectory_, 360, 960, 2415, 1215);
  Place(prjfile1_, 2880, 600, 2175, 1650);
  Place(opcreate_, 5400, 1920, 1335, 375);
  Place(opmerge_, 5400, 2400, 1335, 375);
  Place(label2_, 360, 2400, 1815, 255);
  Place(optdrive_, 360, 2640, 2415, 315);
  Place(optdirectory_, 360, 3000, 2415, 1215);
  Place(optfile_, 2880, 2640, 2175, 1650);
  Place(prjwriter_, 2400, 4800, 1935, 735);
}

void Durvane::SetTabOrder() {
  // Design order: optfile, optdirectory, optdrive, (Label2), prjdirectory, prjdrive, (Label1),
  // prjwriter, opcreate, opmerge, prjfile1. Labels take no focus.
  QWidget* const order[] = {&optfile_,   &optdirectory_, &optdrive_, &prjdirectory_, &prjdrive_,
                            &prjwriter_, &opcreate_,     &opmerge_,  &prjfile1_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void Durvane::OnCreateNewClicked() {
  preview_.ShowFile({});
  prjfile1_.hide();
  optfile_.SetPattern(QStringLiteral("*.opt"));
  label1_.setText(QStringLiteral("QEL Directory"));
  label2_.setText(QStringLiteral("Location of *.opt"));
}

void Durvane::OnMergeClicked() {
  preview_.ShowFile({});
  optfile_.SetPattern(QStringLiteral("*.prj"));
  prjfile1_.show();
  label1_.setText(QStringLiteral("1st PRJ Folder"));
  label2_.setText(QStringLiteral("2nd PRJ Folder"));
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
}

void Durvane::OnWriteClicked() {
  // One press runs one operation. The second click of a double click comes after a short run
  // has ended, so it is told apart by its time.
  if (last_run_press_.isValid() &&
      last_run_press_.elapsed() < QApplication::doubleClickInterval()) {
    return;
  }
  last_run_press_.start();

  QString summary;
  std::optional<QString> failure;
  QStringList warnings;
  {
    const BusyCursor busy;
    const InertWhileRunning inert(*this);
    try {
      if (opcreate_.isChecked()) {
        warnings = CreateNew(summary);
      } else if (opmerge_.isChecked()) {
        warnings = Merge(summary);
      }
      RefreshLists();
    } catch (const std::bad_alloc&) {
      failure = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
      failure = QString::fromStdString(e.what());
    }
  }
  if (failure) {
    feedback_->ShowError(summary, *failure);
    return;
  }
  feedback_->Beep();
  if (!warnings.isEmpty()) feedback_->ShowWarnings(summary, warnings);
}

QStringList Durvane::CreateNew(QString& summary) {
  summary = QStringLiteral("Nothing was converted.");
  if (optfile_.SelectedIndex() < 0) {
    throw std::runtime_error("No OPT file is selected. Choose one in the list beside \"" +
                             label2_.text().toStdString() + "\".");
  }
  const QString name = optfile_.SelectedName();
  summary = QStringLiteral("Converting %1 failed.").arg(Quoted(name));
  const ConversionResult result =
      operations_.create_new(LocalPath(prjdirectory_.Path()), LocalPath(optdirectory_.Path()),
                             QFile::encodeName(name).toStdString());
  summary = QStringLiteral("%1 was converted into %2 with warnings:")
                .arg(Quoted(name), QString::fromStdString(result.output_folder.string()));
  return FromStrings(result.warnings);
}

QStringList Durvane::Merge(QString& summary) {
  summary = QStringLiteral("Nothing was merged.");
  if (prjfile1_.SelectedIndex() < 0) {
    throw std::runtime_error("No first PRJ file is selected. Choose one in the list beside \"" +
                             label1_.text().toStdString() + "\".");
  }
  if (optfile_.SelectedIndex() < 0) {
    throw std::runtime_error("No second PRJ file is selected. Choose one in the list beside \"" +
                             label2_.text().toStdString() + "\".");
  }
  const QString first = QDir(prjdirectory_.Path()).filePath(prjfile1_.SelectedName());
  const QString second = QDir(optdirectory_.Path()).filePath(optfile_.SelectedName());
  const QString names[] = {Quoted(optfile_.SelectedName()), Quoted(prjfile1_.SelectedName())};
  summary = QStringLiteral("Merging %1 into %2 failed.").arg(names[0], names[1]);
  const merge::MergeResult result = operations_.merge(LocalPath(first), LocalPath(second));
  preview_.ShowFile(first);
  preview_.Reload();
  summary = QStringLiteral("%1 was merged into %2 with warnings:").arg(names[0], names[1]);
  return FromStrings(result.warnings);
}

void Durvane::Preview(const FileList& list) {
  if (list.SelectedIndex() < 0) return;
  const FolderList& folder = &list == &prjfile1_ ? prjdirectory_ : optdirectory_;
  preview_.ShowFile(QDir(folder.Path()).filePath(list.SelectedName()));
}

void Durvane::RefreshLists() {
  prjdirectory_.Refresh();
  optdirectory_.Refresh();
  prjfile1_.Refresh();
  optfile_.Refresh();
}

}  // namespace durvane::gui
