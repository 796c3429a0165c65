#include "app/gui/drive_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>

namespace durvane::gui {

QList<Drive> MountedDrives() {
  QList<Drive> drives;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Bind mounts of single files (common in containers) are not drives.
    if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir()) {
      continue;
    }
    const QString root = volume.rootPath();
    const QString name = volume.name();
    drives.append({root, name.isEmpty() ? root : root + QStringLiteral("  [") + name + ']'});
  }
  return ArrangeDrives(std::move(drives), QDir::currentPath(), QDir::homePath());
}

QList<Drive> ArrangeDrives(QList<Drive> volumes, const QString& current, const QString& home) {
  std::sort(volumes.begin(), volumes.end(),
            [](const Drive& a, const Drive& b) { return a.root < b.root; });
  // A chroot's mount table may list nothing that holds the current folder; the system root
  // always does.
  const bool current_held = std::any_of(volumes.begin(), volumes.end(), [&](const Drive& drive) {
    return DriveHolds(drive.root, current);
  });
  if (!current_held) volumes.prepend({QDir::rootPath(), QDir::rootPath()});
  // Where a user's own files are, first.
  const QString home_folder = QDir::cleanPath(home);
  if (!home.isEmpty() && QFileInfo(home_folder).isDir()) {
    volumes.prepend({home_folder, QStringLiteral("Home  [") + home_folder + ']'});
  }
  return volumes;
}

bool DriveHolds(const QString& root, const QString& folder) {
  if (folder == root) return true;
  const QString prefix = root.endsWith('/') ? root : root + '/';
  return folder.startsWith(prefix);
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent), source_(&MountedDrives) {
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) emit DriveChanged(CurrentDrive());
  });
  Refresh();
  ShowDriveOf(QDir::currentPath());
}

void DriveList::SetDriveSource(DriveSource source) {
  source_ = std::move(source);
  Refresh();
}

QString DriveList::CurrentDrive() const {
  return currentData().toString();
}

void DriveList::ShowDriveOf(const QString& folder) {
  int best = -1;
  qsizetype best_length = -1;
  for (int i = 0; i < count(); ++i) {
    const QString root = itemData(i).toString();
    if (DriveHolds(root, folder) && root.size() > best_length) {
      best = i;
      best_length = root.size();
    }
  }
  const QSignalBlocker quiet(this);
  setCurrentIndex(best);
}

void DriveList::Refresh() {
  const QString current = CurrentDrive();
  const QSignalBlocker quiet(this);
  clear();
  for (const Drive& drive : source_()) addItem(drive.label, drive.root);
  setCurrentIndex(findData(current));
}

void DriveList::showPopup() {
  Refresh();
  QComboBox::showPopup();
}

}  // namespace durvane::gui
