// Reading input files whole and writing output files whole and atomically.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <vector>

#include "core/byte_buffer.h"

namespace durvane {

// The pieces of one output file, written back to back.
using ByteSpans = std::span<const std::span<const std::byte>>;

// Reads the whole of a regular file. Throws Error naming the path when it is missing, not a
// regular file or unreadable.
ByteBuffer ReadFile(const std::filesystem::path& path);

// A set of output files written all or nothing. Stage writes each file in full to a new
// temporary file beside its destination; Commit then renames them all into place. A set
// destroyed before Commit removes its temporary files, so a failure leaves no trace.
// A destination that is a symbolic link is followed: its target is replaced, not the link.
// A replaced file keeps its permissions; a new one gets the usual mode for new files.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  void Stage(const std::filesystem::path& destination, ByteSpans pieces);
  void Commit();

  // Destinations staged so far, in staging order.
  std::vector<std::filesystem::path> destinations() const;

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path destination;
  };
  std::vector<Entry> entries_;
};

// Writes one file atomically: after a failure or a crash at any moment the destination holds
// either its old contents or the new ones, never a mixture.
void WriteFileAtomically(const std::filesystem::path& destination, ByteSpans pieces);

// Suffix that marks temporary files of unfinished writes.
inline constexpr const char* kTemporarySuffix = ".durvane-tmp-";

}  // namespace durvane
