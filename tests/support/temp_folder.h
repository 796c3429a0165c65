// A fresh folder for one test, removed with everything in it when the test ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace durvane::fixture {

class TempFolder {
 public:
  // Creates a new folder under the system's temporary folder. It is open to all users (0755),
  // so that a test child that gave up its privileges can still reach the files in it.
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Removes the folder, first making everything in it writable again.
  ~TempFolder();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Writes `bytes` to path()/name, creating the folders on the way; returns the file's path.
  std::filesystem::path Write(const std::string& name, std::span<const std::byte> bytes) const;

 private:
  std::filesystem::path path_;
};

// The names of the entries of a folder, sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

// The bytes of a text, for files with recognisable contents.
std::vector<std::byte> TextBytes(const std::string& text);

}  // namespace durvane::fixture
