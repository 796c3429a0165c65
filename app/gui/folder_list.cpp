#include "app/gui/folder_list.h"

#include <vector>

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>

namespace durvane::gui {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString CleanAbsolute(const QString& folder) {
  return QDir::cleanPath(QDir(folder).absolutePath());
}

}  // namespace

bool FolderIsReadable(const QString& folder) {
  const QFileInfo info(folder);
  return info.isDir() && info.isReadable() && info.isExecutable();
}

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(12);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    // The item is gone once the list is rebuilt: take its path first.
    const QString folder = item->data(0, kPathRole).toString();
    if (!SetPath(folder)) emit FolderRefused(folder);
  });
  path_ = CleanAbsolute(QDir::currentPath());
  Rebuild();
}

bool FolderList::SetPath(const QString& folder) {
  const QString target = CleanAbsolute(folder);
  if (!FolderIsReadable(target)) return false;
  if (target == path_) return true;
  path_ = target;
  Rebuild();
  emit PathChanged(path_);
  return true;
}

void FolderList::Refresh() {
  QString folder = path_;
  while (!FolderIsReadable(folder)) {
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent == folder) break;
    folder = parent;
  }
  if (folder != path_ && SetPath(folder)) return;
  Rebuild();
}

QStringList FolderList::ListedFolders() const {
  QStringList folders;
  // Depth first: the path's chain has one child per level, the current folder its subfolders.
  std::vector<const QTreeWidgetItem*> pending;
  for (int i = topLevelItemCount() - 1; i >= 0; --i) pending.push_back(topLevelItem(i));
  while (!pending.empty()) {
    const QTreeWidgetItem* item = pending.back();
    pending.pop_back();
    folders.append(item->data(0, kPathRole).toString());
    for (int i = item->childCount() - 1; i >= 0; --i) pending.push_back(item->child(i));
  }
  return folders;
}

void FolderList::Rebuild() {
  clear();
  // The full path, which a narrow list cuts short, is shown on hovering.
  setToolTip(QDir::toNativeSeparators(path_));
  const QFileIconProvider icons;
  const QIcon open_folder = icons.icon(QFileIconProvider::Folder);

  // The chain from the root down to the current folder.
  QStringList chain;
  for (QDir dir(path_);;) {
    chain.prepend(dir.absolutePath());
    if (!dir.cdUp()) break;
  }
  QTreeWidgetItem* parent = nullptr;
  for (const QString& folder : chain) {
    const QString name = QFileInfo(folder).fileName();
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, name.isEmpty() ? folder : name);
    item->setData(0, kPathRole, folder);
    item->setIcon(0, open_folder);
    parent = item;
  }
  QTreeWidgetItem* current = parent;

  const QFileInfoList subfolders =
      QDir(path_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& sub : subfolders) {
    auto* item = new QTreeWidgetItem(current);
    item->setText(0, sub.fileName());
    item->setData(0, kPathRole, CleanAbsolute(sub.absoluteFilePath()));
    item->setIcon(0, open_folder);
  }
  expandAll();
  setCurrentItem(current);
  scrollToItem(current);
}

}  // namespace durvane::gui
