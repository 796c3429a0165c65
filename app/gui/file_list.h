// A file list: the names of the files in one folder that match a pattern, compared without
// regard to letter case ("*.opt" lists ship.OPT). At most one name is selected.
#pragma once

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
  // Lists the current folder's files that match `pattern`; nothing is selected afterwards.
  void SetPattern(const QString& pattern);

  // Lists the folder again, keeping the selected name when it is still there.
  void Refresh();

  QStringList Names() const;
  // The row of the selected name, -1 when none is selected.
  int SelectedIndex() const;
  // Selects the name at `index`; -1 clears the selection.
  void SetSelectedIndex(int index);
  // The selected name; empty when none is selected.
  QString SelectedName() const;

 private:
  void Rebuild();

  QString path_;
  QString pattern_ = QStringLiteral("*");
};

}  // namespace durvane::gui
