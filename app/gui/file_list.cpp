#include "app/gui/file_list.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <algorithm>

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
  selected_by_pattern_.clear();
  Rebuild();
}

void FileList::SetPattern(const QString& pattern) {
  const QStringList selected = SelectedNames();
  selected_by_pattern_[pattern_] = selected;
  pattern_ = pattern;
  Rebuild();
  const QStringList before = selected_by_pattern_.value(pattern_);
  Select(before.isEmpty() ? selected : before);
  if (SelectedIndex() < 0) Select(selected);
}

void FileList::Refresh() {
  const QStringList selected = SelectedNames();
  Rebuild();
  Select(selected);
}

void FileList::SetMultipleSelection(bool multiple) {
  const QStringList selected = SelectedNames();
  setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection
                            : QAbstractItemView::SingleSelection);
  Select(multiple ? selected : selected.mid(0, 1));
}

QStringList FileList::Names() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) names.append(item(i)->text());
  return names;
}

QStringList FileList::SelectedNames() const {
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  QStringList names;
  for (const QModelIndex& row : rows) names.append(item(row.row())->text());
  return names;
}

int FileList::SelectedIndex() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty()) return -1;
  return std::min_element(rows.begin(), rows.end())->row();
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

void FileList::Select(const QStringList& names) {
  clearSelection();
  bool first = true;
  for (const QString& name : names) {
    const QList<QListWidgetItem*> same = findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (same.isEmpty()) continue;
    if (selectionMode() == QAbstractItemView::SingleSelection && !first) break;
    setCurrentRow(row(same.front()),
                  first ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
    first = false;
  }
}

void FileList::Rebuild() {
  clear();
  const QStringList files = QDir(path_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : files) {
    if (MatchesPattern(name, pattern_)) addItem(name);
  }
}

}  // namespace durvane::gui
