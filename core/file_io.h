// Reading input files whole and writing output files whole and atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "core/byte_buffer.h"

namespace durvane {

// The pieces of one output file, written back to back.
using ByteSpans = std::span<const std::span<const std::byte>>;

// Reads the whole of a regular file. Throws Error naming the path when it is missing, not a
// regular file or unreadable.
std::vector<std::byte> ReadFile(const std::filesystem::path& path);

// Reads the whole of a regular file into a buffer that is not zeroed first: for large inputs
// the library reads. A copy of the file's bytes, so another program changing the file while it
// is in use cannot affect the run.
ByteBuffer ReadFileBuffer(const std::filesystem::path& path);

// Whether writing a file waits for its bytes to reach the disk before it replaces the old one.
// kSync, the default, keeps either the old file or the new one whole through a power cut or a
// system crash. kNoSync keeps them whole when the program fails or is killed, but returns as
// soon as the system holds the bytes: a power cut soon after may leave the new file empty.
enum class Durability : std::uint8_t { kSync, kNoSync };

// One file of a StagedFiles set, open for writing at any offset until it is closed.
class StagedFile {
 public:
  // Takes over an open descriptor; made by StagedFiles::Open.
  StagedFile(int fd, std::filesystem::path destination, Durability durability, bool replacing)
      : fd_(fd),
        destination_(std::move(destination)),
        durability_(durability),
        replacing_(replacing) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();

  // Reserves disk space for a file of `size` bytes when it is large and replaces another. A
  // file system may place the blocks of a file that replaces another at the rename, making
  // the rename wait for them; reserved blocks are placed already.
  void Reserve(std::uint64_t size);
  // Writes `data` at file offset `offset`. Throws Error naming the destination on failure.
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data);
  // Closes the file, having started its writing to disk; Commit closes any file still open
  // and flushes every file to disk before renaming them.
  void Close();

 private:
  int fd_;
  std::filesystem::path destination_;
  Durability durability_;
  bool replacing_;
};

// A set of output files written all or nothing. Stage writes each file in full to a new
// temporary file beside its destination; Commit then flushes them all to disk (unless the set
// is kNoSync) and renames them all into place. A set destroyed before Commit removes its temporary
// files, so a failure leaves no trace. A destination that is a symbolic link is followed: its
// target is replaced, not the link. A replaced file keeps its permissions; a new one gets the usual
// mode for new files.
class StagedFiles {
 public:
  explicit StagedFiles(Durability durability = Durability::kSync) : durability_(durability) {}
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  void Stage(const std::filesystem::path& destination, ByteSpans pieces);
  // Like Stage, but returns the temporary file open, for a caller that writes it piece by
  // piece as the bytes are made. Valid until the set is destroyed.
  StagedFile& Open(const std::filesystem::path& destination);
  void Commit();

  // Destinations staged so far, in staging order.
  std::vector<std::filesystem::path> destinations() const;

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path destination;
    std::unique_ptr<StagedFile> file;
  };
  Durability durability_;
  std::vector<Entry> entries_;
  std::vector<std::filesystem::path> swept_folders_;
};

// Writes one file atomically: after a failure or a crash at any moment the destination holds
// either its old contents or the new ones, never a mixture.
void WriteFileAtomically(const std::filesystem::path& destination, ByteSpans pieces,
                         Durability durability = Durability::kSync);

// Suffix that marks temporary files of unfinished writes.
inline constexpr const char* kTemporarySuffix = ".durvane-tmp-";

// Removes from `folder` the temporary files left by writes whose process died (killed, or the
// machine went down) before renaming them: regular files named ".<name>.durvane-tmp-<pid>-<n>"
// whose process <pid> no longer runs. Files of live processes and all other files are left
// alone, and failures are ignored: a leftover costs only space. Returns how many it removed.
// Stage calls it once per destination folder.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace durvane
