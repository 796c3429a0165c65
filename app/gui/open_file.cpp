#include "app/gui/open_file.h"

#include <QFileInfo>
#include <QRadioButton>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/gui/durvane_window.h"

namespace durvane::gui {
namespace {

// The window's control of that object name.
template <typename T>
T& Control(Durvane& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromLatin1(name));
  if (!control) throw std::logic_error(std::string("the window has no control ") + name);
  return *control;
}

// Switches to the mode that takes OPT files (`opt`) or PRJ files, moves the lists of one group to
// the folder of the first of `files` and selects those of them listed there.
QString SelectFiles(Durvane& window, const QStringList& files, bool opt, bool top) {
  const QFileInfo first(files.front());
  Control<QRadioButton>(window, opt ? "opcreate" : "opmerge").setChecked(true);
  const QString folder = first.absolutePath();
  if (!Control<FolderList>(window, top ? "prjdirectory" : "optdirectory").SetPath(folder)) {
    return QStringLiteral("The folder %1 cannot be opened.").arg(folder);
  }
  FileList& list = Control<FileList>(window, top ? "prjfile1" : "optfile");
  list.Refresh();
  QStringList names;
  QStringList left_out;
  for (const QString& file : files) {
    const QFileInfo info(file);
    if (info.absolutePath() == folder && list.Names().contains(info.fileName())) {
      names.append(info.fileName());
    } else {
      left_out.append(file);
    }
  }
  list.Select(names);
  list.setFocus();
  if (left_out.isEmpty()) return {};
  if (files.size() == 1)
    return QStringLiteral("The file %1 is not listed in its folder.").arg(files.front());
  return QStringLiteral("Only files of one folder can be selected together: %1 %2 not selected.")
      .arg(left_out.join(QStringLiteral(", ")),
           left_out.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

// Whether `file` is named like an OPT file (true), a PRJ file (false), or neither (none).
std::optional<bool> IsOpt(const QString& file) {
  const QString extension = QFileInfo(file).suffix().toLower();
  if (extension == QLatin1String("opt")) return true;
  if (extension == QLatin1String("prj")) return false;
  return std::nullopt;
}

}  // namespace

QString OpenFile(Durvane& window, const QString& file) {
  const std::optional<bool> opt = IsOpt(file);
  if (!opt) {
    return QStringLiteral("%1 is neither an OPT file (.opt) nor a PRJ file (.prj).").arg(file);
  }
  if (!QFileInfo(file).isFile()) return QStringLiteral("The file %1 does not exist.").arg(file);
  return SelectFiles(window, {file}, *opt, !*opt);
}

QString DropFiles(Durvane& window, const QStringList& files, bool on_top_group) {
  if (files.isEmpty()) return {};
  const std::optional<bool> opt = IsOpt(files.front());
  for (const QString& file : files) {
    if (!IsOpt(file) || IsOpt(file) != opt) {
      return QStringLiteral(
                 "Drop OPT files (.opt) or PRJ files (.prj), not both: %1 was not "
                 "taken.")
          .arg(file);
    }
  }
  if (*opt) return SelectFiles(window, files, true, false);
  if (on_top_group && files.size() > 1) {
    const QString problem = SelectFiles(window, {files.front()}, false, true);
    return problem.isEmpty()
               ? QStringLiteral("Only one first PRJ file can be chosen: %1 is.").arg(files.front())
               : problem;
  }
  return SelectFiles(window, files, false, on_top_group);
}

}  // namespace durvane::gui
