#include "app/cli/file_kind.h"

#include <string>

namespace durvane::cli {

FileKind KindOf(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (ext == ".opt") return FileKind::kOpt;
  if (ext == ".prj") return FileKind::kPrj;
  return FileKind::kOther;
}

}  // namespace durvane::cli
