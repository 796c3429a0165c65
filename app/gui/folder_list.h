// A folder list: the current path from the root down, each folder one line deeper, and under
// it the current folder's sub-folders. Activating a line (double click or Enter) goes to that
// folder, up or into a sub-folder.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

namespace durvane::gui {

class FolderList : public QTreeWidget {
  Q_OBJECT

 public:
  // Starts at the process's current folder.
  explicit FolderList(QWidget* parent = nullptr);

  // The current folder as an absolute, clean path.
  QString Path() const { return path_; }

  // Goes to `folder` and notifies PathChanged when that changes the path. Returns false and
  // changes nothing when the folder does not exist or cannot be read.
  bool SetPath(const QString& folder);

  // Lists the current folder's sub-folders again. A current folder that is gone (or can no
  // longer be read) gives way to its nearest readable parent, notified as PathChanged.
  void Refresh();

  // The paths of the listed lines in display order: the current path's folders from the
  // root down, then the sub-folders.
  QStringList ListedFolders() const;

 signals:
  void PathChanged(const QString& path);
  // The user chose a folder that cannot be read; the list stayed where it was.
  void FolderRefused(const QString& folder);

 private:
  void Rebuild();

  QString path_;
};

// Whether a folder exists and its entries can be listed.
bool FolderIsReadable(const QString& folder);

}  // namespace durvane::gui
