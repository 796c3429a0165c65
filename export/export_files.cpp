#include "export/export_files.h"

#include <cctype>

#include "core/error.h"
#include "core/platform.h"

namespace durvane::exporting {

std::filesystem::path ExportFiles::Beside(const std::string& name) const {
  return destination_.parent_path() / platform::PathFromBytes(name);
}

std::string ExportFiles::SiblingName(const std::string& extension) const {
  return platform::PathBytes(destination_.stem()) + extension;
}

void ExportFiles::Claim(const std::filesystem::path& path) {
  std::string name = platform::PathBytes(path.filename());
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!names_.insert(name).second) {
    throw Error("the export would write '" + platform::PathBytes(path) +
                "' twice: name the output so that it differs from the files beside it");
  }
  staged_.push_back(path);
}

void ExportFiles::Stage(const std::filesystem::path& path, ByteSpans pieces) {
  Claim(path);
  set_.Stage(path, pieces);
}

StagedFile& ExportFiles::Open(const std::filesystem::path& path) {
  Claim(path);
  return set_.Open(path);
}

}  // namespace durvane::exporting
