#include "app/gui/file_list.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QRegularExpression>

namespace durvane::gui {

bool MatchesPattern(const QString& name, const QString& pattern) {
  for (const QString& piece : pattern.split(';', Qt::SkipEmptyParts)) {
    const QRegularExpression wildcard(
        QRegularExpression::wildcardToRegularExpression(piece.trimmed()),
        QRegularExpression::CaseInsensitiveOption);
    if (wildcard.match(name).hasMatch()) return true;
  }
  return false;
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
  path_ = QDir::cleanPath(QDir::currentPath());
  Rebuild();
}

void FileList::SetPath(const QString& folder) {
  path_ = QDir::cleanPath(QDir(folder).absolutePath());
  Rebuild();
}

void FileList::SetPattern(const QString& pattern) {
  pattern_ = pattern;
  Rebuild();
}

void FileList::Refresh() {
  const QString selected = SelectedName();
  Rebuild();
  if (selected.isEmpty()) return;
  const QList<QListWidgetItem*> same =
      findItems(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (!same.isEmpty()) SetSelectedIndex(row(same.front()));
}

QStringList FileList::Names() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) names.append(item(i)->text());
  return names;
}

int FileList::SelectedIndex() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void FileList::SetSelectedIndex(int index) {
  if (index < 0 || index >= count()) {
    clearSelection();
    return;
  }
  setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QString FileList::SelectedName() const {
  const int index = SelectedIndex();
  return index < 0 ? QString() : item(index)->text();
}

void FileList::Rebuild() {
  clear();
  const QStringList files = QDir(path_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : files) {
    if (MatchesPattern(name, pattern_)) addItem(name);
  }
}

}  // namespace durvane::gui
