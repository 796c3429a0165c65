// Paths between Qt's strings and the library's std::filesystem::path, in the file system's
// encoding both ways.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>

namespace durvane::gui {

inline std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

inline QString ShownPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace durvane::gui
