// Paths and texts between Qt's strings and the library's: paths as the file system's bytes
// (PathBytes, as the window's logic holds them), and messages, which name paths, likewise.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

namespace durvane::gui {

inline std::string ToBytes(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

inline QString FromBytes(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

inline std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(ToBytes(path));
}

inline std::vector<std::string> ToBytes(const QStringList& list) {
  std::vector<std::string> bytes;
  for (const QString& text : list) bytes.push_back(ToBytes(text));
  return bytes;
}

inline QStringList FromBytes(const std::vector<std::string>& list) {
  QStringList texts;
  for (const std::string& bytes : list) texts.append(FromBytes(bytes));
  return texts;
}

}  // namespace durvane::gui
