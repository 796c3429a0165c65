// An input file open for reading at any offset, which can tell whether another program has
// changed it since it was opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "core/platform.h"

namespace durvane {

class InputFile {
 public:
  // Opens a regular file. Throws Error naming the path when it is missing, not a regular file
  // or unreadable.
  explicit InputFile(std::filesystem::path path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  const std::filesystem::path& path() const { return path_; }
  // The size when the file was opened.
  std::uint64_t size() const { return size_; }
  const platform::File& file() const { return file_; }

  // Reads up to `buffer.size()` bytes at `offset` and returns how many it read: fewer only
  // at the end of the file.
  std::size_t ReadSome(std::uint64_t offset, std::span<std::byte> buffer) const;
  // Fills `buffer` from `offset`. Throws Error when the file now ends before that: it has
  // been shortened since it was opened.
  void ReadExactly(std::uint64_t offset, std::span<std::byte> buffer) const;

  // Throws Error when the file's size, modification or change time differs from when it was
  // opened: another program wrote it meanwhile, so what was read may not be one version.
  void CheckUnchanged() const;
  // Throws the Error CheckUnchanged throws, for a reader that found the file's contents
  // no longer as they were.
  [[noreturn]] void ThrowChanged() const;

 private:
  struct Identity {
    platform::FileKind kind = platform::FileKind::kMissing;
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0, changed_ns = 0;
    bool operator==(const Identity&) const = default;
  };
  Identity Stat() const;

  std::filesystem::path path_;
  platform::File file_;
  std::uint64_t size_ = 0;
  Identity opened_;
};

}  // namespace durvane
