// Paths between Qt's strings and the library's std::filesystem::path, in the file system's
// encoding both ways.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>

namespace durvane::gui {

// Windows names files in UTF-16, which both sides hold as they are.
inline std::filesystem::path LocalPath(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

inline QString ShownPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

}  // namespace durvane::gui
