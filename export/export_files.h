// The files one export writes, staged as one set: the main file, and the files beside it that it
// names (its buffer, its material library, the PNG files of its bitmaps).
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/staged_files.h"

namespace durvane::exporting {

class ExportFiles {
 public:
  ExportFiles(StagedFiles& set, std::filesystem::path destination)
      : set_(set), destination_(std::move(destination)) {}

  const std::filesystem::path& destination() const { return destination_; }
  // The file named `name` in the destination's folder.
  std::filesystem::path Beside(const std::string& name) const;
  // The destination's name with its extension replaced by `extension` (with its dot).
  std::string SiblingName(const std::string& extension) const;

  // Stage the file `path` with these bytes, or open it for writing. Throws Error when the export
  // already writes a file of that name, in any letter case: one file would replace another.
  void Stage(const std::filesystem::path& path, ByteSpans pieces);
  StagedFile& Open(const std::filesystem::path& path);

  // The files staged, in order.
  const std::vector<std::filesystem::path>& staged() const { return staged_; }

 private:
  void Claim(const std::filesystem::path& path);

  StagedFiles& set_;
  std::filesystem::path destination_;
  std::set<std::string> names_;  // in lower case
  std::vector<std::filesystem::path> staged_;
};

}  // namespace durvane::exporting
