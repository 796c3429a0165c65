// A fresh folder for a test's files, removed with everything in it when the test ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <vector>

namespace durvane::fixture {

class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Writes `bytes` to the file `name` in the folder and returns its path.
  std::filesystem::path Write(const std::filesystem::path& name,
                              std::span<const std::byte> bytes) const;
  // The names of the entries in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

}  // namespace durvane::fixture
