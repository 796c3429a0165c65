#include "app/gui/open_file.h"

#include <QFileInfo>
#include <QRadioButton>
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

}  // namespace

QString OpenFile(Durvane& window, const QString& file) {
  const QFileInfo info(file);
  const QString extension = info.suffix().toLower();
  const bool opt = extension == QLatin1String("opt");
  if (!opt && extension != QLatin1String("prj")) {
    return QStringLiteral("%1 is neither an OPT file (.opt) nor a PRJ file (.prj).").arg(file);
  }
  if (!info.isFile()) return QStringLiteral("The file %1 does not exist.").arg(file);

  Control<QRadioButton>(window, opt ? "opcreate" : "opmerge").setChecked(true);
  const QString folder = info.absolutePath();
  if (!Control<FolderList>(window, opt ? "optdirectory" : "prjdirectory").SetPath(folder)) {
    return QStringLiteral("The folder %1 cannot be opened.").arg(folder);
  }
  FileList& files = Control<FileList>(window, opt ? "optfile" : "prjfile1");
  files.Refresh();
  const int row = static_cast<int>(files.Names().indexOf(info.fileName()));
  if (row < 0) return QStringLiteral("The file %1 is not listed in its folder.").arg(file);
  files.SetSelectedIndex(row);
  files.setFocus();
  return {};
}

}  // namespace durvane::gui
