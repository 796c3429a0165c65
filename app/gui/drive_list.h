// A drop-down list of the mounted file systems. Its current entry is the drive that holds the
// folder shown beside it; choosing another entry notifies DriveChanged.
#pragma once

#include <QComboBox>
#include <QList>
#include <QString>
#include <functional>

namespace durvane::gui {

struct Drive {
  QString root;   // the folder the file system is mounted on
  QString label;  // what the list shows
};

// The user's home folder, then the mounted file systems that are ready and mounted on a
// folder, ordered by root. The system root is listed when no mounted one holds the current
// folder.
QList<Drive> MountedDrives();

// Orders mounted `volumes` for the list: `home` first when it is a folder, then the system
// root when no volume holds `current`, then the volumes by root.
QList<Drive> ArrangeDrives(QList<Drive> volumes, const QString& current, const QString& home);

// True when `folder` is `root` or lies below it.
bool DriveHolds(const QString& root, const QString& folder);

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  using DriveSource = std::function<QList<Drive>()>;

  // Lists MountedDrives(), with the drive that holds the process's current folder current.
  explicit DriveList(QWidget* parent = nullptr);

  // Takes the drives from `source` from now on and lists them again.
  void SetDriveSource(DriveSource source);

  // The root of the current drive; empty when none is current.
  QString CurrentDrive() const;

  // Makes current, without a change notification, the listed drive that holds `folder` (the
  // one with the longest root when mounts nest). Leaves no drive current when none holds it.
  void ShowDriveOf(const QString& folder);

  // Reads the drives again, keeping the current one when it is still listed.
  void Refresh();

 signals:
  void DriveChanged(const QString& root);

 protected:
  // Newly mounted file systems appear when the list is opened.
  void showPopup() override;

 private:
  DriveSource source_;
};

}  // namespace durvane::gui
