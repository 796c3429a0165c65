#include "tests/support/scratch_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/file_io.h"

namespace durvane::fixture {

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "durvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path ScratchFolder::Write(const std::filesystem::path& name,
                                           std::span<const std::byte> bytes) const {
  const std::filesystem::path file = path_ / name;
  const std::span<const std::byte> pieces[] = {bytes};
  WriteFileAtomically(file, pieces);
  return file;
}

std::vector<std::string> ScratchFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace durvane::fixture
