// The program's window, Durvane: a top group that chooses the QEL directory (or the first PRJ
// file), a bottom group that chooses the OPT file (or the second PRJ file), two option buttons
// for the mode, and the button that starts the chosen operation. The window only keeps its
// lists in step and hands plain paths to the operations.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "app/gui/drive_list.h"
#include "app/gui/file_list.h"
#include "app/gui/folder_list.h"
#include "app/gui/model_preview.h"
#include "app/gui/operations.h"
#include "app/gui/user_feedback.h"

namespace durvane::gui {

class Durvane : public QWidget {
  Q_OBJECT

 public:
  // Loads the window in Create New mode with every list at the process's current folder.
  // Messages and the beep go to `feedback`, or to dialogs and the platform's beep when null.
  explicit Durvane(Operations operations, std::unique_ptr<UserFeedback> feedback = nullptr,
                   QWidget* parent = nullptr);
  ~Durvane() override;

 private:
  void OnCreateNewClicked();
  void OnMergeClicked();
  void FollowDrive(DriveList& drive, FolderList& folder);
  void FollowFolder(FolderList& folder, DriveList& drive, FileList& files);
  void OnWriteClicked();

  // The runs behind the button. Each returns the run's warnings and a line naming it, or
  // throws with a message for the user.
  QStringList CreateNew(QString& summary);
  QStringList Merge(QString& summary);
  // Shows what the last run may have added to the folders.
  void RefreshLists();
  // Draws the file last selected in a list the mode uses, in the preview pane.
  void Preview(const FileList& list);

  void PlaceControls();
  void SetTabOrder();

  Operations operations_;
  std::unique_ptr<UserFeedback> feedback_;
  // Since the press that started the last run: a press within the double-click interval of it
  // is the second click of a double click, not a request for another run.
  QElapsedTimer last_run_press_;

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
  QPushButton prjwriter_{this};
  ModelPreview preview_{this};  // added to the right of the design
};

}  // namespace durvane::gui
