// Reading input files whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/byte_buffer.h"
#include "core/platform_map.h"

namespace durvane {

// Reads the whole of a regular file. Throws Error naming the path when it is missing, not a
// regular file or unreadable.
std::vector<std::byte> ReadFile(const std::filesystem::path& path);

// Reads the whole of a regular file into a buffer that is not zeroed first, from 16 MiB on in two
// halves side by side: a copy of the file's bytes, so another program changing the file while it
// is in use cannot affect the run. InputBytes reads files it does not map this way.
ByteBuffer ReadFileBuffer(const std::filesystem::path& path);

class InputFile;

// The whole of an input file, held for as long as it is worked on: mapped into memory from
// MapFromBytes() on where the system can (no copy, and no fresh memory to fill), read into
// memory below that or where it cannot. The file stays open, so that CheckUnchanged can tell
// whether another program cut it short or changed it meanwhile; a mapped file shows such
// changes to its readers, so whatever was made from its bytes must not be kept before
// CheckUnchanged has passed. A read past the end of a file cut short while mapped reads zeros
// rather than ending the process (see core/platform_map.h). Movable; the bytes stay put.
class InputBytes {
 public:
  // Opens and maps or reads `path`. Throws Error naming the path when it is missing, not a
  // regular file or unreadable.
  explicit InputBytes(const std::filesystem::path& path);
  InputBytes(InputBytes&&) noexcept;
  InputBytes& operator=(InputBytes&&) noexcept;
  ~InputBytes();

  std::span<const std::byte> bytes() const { return bytes_; }
  operator std::span<const std::byte>() const { return bytes_; }
  bool mapped() const { return mapped_.is_mapped(); }
  const std::filesystem::path& path() const;

  // Throws Error naming the file when it was cut short while it was read ("the file was cut
  // short while it was read"), or when its size, modification or change time differ from when
  // it was opened. Call it after the last read and before anything made from the bytes
  // replaces an output.
  void CheckUnchanged() const;

 private:
  std::unique_ptr<InputFile> file_;
  ByteBuffer read_;
  platform::MappedFile mapped_;
  std::span<const std::byte> bytes_;
};

// Files of this many bytes or more are mapped rather than read.
inline constexpr std::uint64_t kMapBytes = std::uint64_t{16} << 20;
// Test seams: the size from which InputBytes maps files (kMapBytes unless set), and a function
// called with each InputBytes once it holds its bytes, before any of them is read (none: an
// empty function). Not for concurrent use with running reads.
std::uint64_t MapFromBytes();
void SetMapFromBytes(std::uint64_t bytes);
void SetInputBytesObserver(std::function<void(const InputBytes&)> observer);

}  // namespace durvane
