#include "app/gui/open_file.h"

#include <QFileInfo>
#include <QRadioButton>
#include <stdexcept>
#include <string>

#include "app/gui/durvane_window.h"
#include "app/gui/local_path.h"
#include "app/window/file_routing.h"

namespace durvane::gui {
namespace {

// The window's control of that object name.
template <typename T>
T& Control(Durvane& face, const char* name) {
  T* control = face.findChild<T*>(QString::fromLatin1(name));
  if (!control) throw std::logic_error(std::string("the window has no control ") + name);
  return *control;
}

// Switches to the route's mode, moves the lists of its group to the folder of its first file
// and selects those of its files listed there; says what the route says when that went well.
QString SelectFiles(Durvane& face, const window::FileRoute& route) {
  if (!route.refusal.empty()) return FromBytes(route.refusal);
  if (route.files.empty()) return {};
  const QStringList files = FromBytes(route.files);
  const bool opt = route.mode == window::Mode::kCreateNew;
  Control<QRadioButton>(face, opt ? "opcreate" : "opmerge").setChecked(true);
  const QString folder = QFileInfo(files.front()).absolutePath();
  if (!Control<FolderList>(face, route.top ? "prjdirectory" : "optdirectory").SetPath(folder)) {
    return QStringLiteral("The folder %1 cannot be opened.").arg(folder);
  }
  FileList& list = Control<FileList>(face, route.top ? "prjfile1" : "optfile");
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
  const std::string problem = window::LeftOutMessage(route.files, ToBytes(left_out));
  return FromBytes(problem.empty() ? route.after : problem);
}

}  // namespace

QString OpenFile(Durvane& face, const QString& file) {
  const window::FileRoute route = window::RouteOpened(ToBytes(file));
  if (route.refusal.empty() && !QFileInfo(file).isFile()) {
    return QStringLiteral("The file %1 does not exist.").arg(file);
  }
  return SelectFiles(face, route);
}

QString DropFiles(Durvane& face, const QStringList& files, bool on_top_group) {
  return SelectFiles(face, window::RouteDropped(ToBytes(files), on_top_group));
}

}  // namespace durvane::gui
