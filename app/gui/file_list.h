// A file list: the names of the files in one folder that match a pattern, compared without
// regard to letter case ("*.opt" lists ship.OPT). One name is selected, or several (Shift and
// Ctrl) when the list takes a multiple selection.
#pragma once

#include <QHash>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace durvane::gui {

// Whether `name` matches one of the ';'-separated wildcard patterns (* and ?), ignoring
// letter case.
bool MatchesPattern(const QString& name, const QString& pattern);

class FileList : public QListWidget {
  Q_OBJECT

 public:
  // Starts at the process's current folder with the pattern "*".
  explicit FileList(QWidget* parent = nullptr);

  QString Path() const { return path_; }
  // Lists the matching files of `folder`; nothing is selected afterwards. A folder that
  // cannot be read lists nothing.
  void SetPath(const QString& folder);

  QString Pattern() const { return pattern_; }
  // Lists the current folder's files that match `pattern`. The selection made under this
  // pattern before is restored, or else the selected names that match it stay selected.
  void SetPattern(const QString& pattern);

  // Lists the folder again, keeping the selected names that are still there.
  void Refresh();

  // Whether Shift and Ctrl select several names. Going back to one keeps the first.
  void SetMultipleSelection(bool multiple);

  QStringList Names() const;
  // The selected names in list order.
  QStringList SelectedNames() const;
  // The row of the (first) selected name, -1 when none is selected.
  int SelectedIndex() const;
  // Selects the name at `index`; -1 clears the selection.
  void SetSelectedIndex(int index);
  // The (first) selected name; empty when none is selected.
  QString SelectedName() const;
  // Selects the listed ones of `names` (the first only, in a single selection), the first of
  // them the current one; nothing else stays selected.
  void Select(const QStringList& names);

 private:
  void Rebuild();

  QString path_;
  // The names last selected under each pattern in the current folder.
  QHash<QString, QStringList> selected_by_pattern_;
  QString pattern_ = QStringLiteral("*");
};

}  // namespace durvane::gui
