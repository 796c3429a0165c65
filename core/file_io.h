// Reading input files whole and writing output files whole and atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "core/platform.h"
#include "core/whole_file.h"

namespace durvane {

// The pieces of one output file, written back to back.
using ByteSpans = std::span<const std::span<const std::byte>>;

// Whether writing a file waits for its bytes to reach the disk before it replaces the old one.
// kSync, the default, keeps either the old file or the new one whole through a power cut or a
// system crash. kNoSync keeps them whole when the program fails or is killed, but returns as
// soon as the system holds the bytes: a power cut soon after may leave the new file empty.
enum class Durability : std::uint8_t { kSync, kNoSync };

// One file of a StagedFiles set, open for writing at any offset until it is closed.
class StagedFile {
 public:
  // What a staged file keeps of the file it replaces.
  struct Kept {
    bool replacing = false;
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0;  // permission bits, set-user-ID and set-group-ID included
  };
  // Gives an unnamed file its temporary name, once it is complete.
  using Namer = std::function<void(const platform::File& file)>;
  // Takes over an open file; made by StagedFiles::Open. `name` is empty when the file has its
  // name already.
  StagedFile(platform::File file, std::filesystem::path destination, Durability durability,
             Kept kept, Namer name = {})
      : file_(std::move(file)),
        destination_(std::move(destination)),
        durability_(durability),
        kept_(kept),
        name_(std::move(name)) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() = default;

  // Reserves disk space for a file of `size` bytes when it is large and replaces another. A
  // file system may place the blocks of a file that replaces another at the rename, making
  // the rename wait for them; reserved blocks are placed already.
  void Reserve(std::uint64_t size);
  // Writes `data` at file offset `offset`. Throws Error naming the destination on failure.
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data);
  // Gives the file the owner, group and mode of the one it replaces, then closes it, having
  // started its writing to disk; Commit closes any file still open and flushes every file to
  // disk before renaming them.
  void Close();
  // Closes the file without keeping it: the set is giving up.
  void Abandon() noexcept { static_cast<void>(file_.Close()); }

 private:
  platform::File file_;
  std::filesystem::path destination_;
  Durability durability_;
  Kept kept_;
  Namer name_;
};

// A set of output files written all or nothing. Stage writes each file in full to a new
// temporary file beside its destination: an unnamed one (O_TMPFILE) where the file system
// allows, which gets its temporary name only once complete, so that a run killed while it
// writes leaves nothing behind. Commit then flushes them all to disk (unless the set
// is kNoSync) and replaces the destinations with them. After a failure, or once the next run
// has swept the folder after a kill, every destination holds either its old file or its new
// one, and all of them the same: never some old and some new. Files of the folder that are not
// in the set are never touched. A set destroyed before Commit removes its temporary files.
//
// A destination that is a symbolic link is followed: its target is replaced, not the link. A
// replaced file keeps its owner and group (as far as the process may set them) and its mode,
// set-user-ID and set-group-ID bits included (those two only when the owner was kept); a new
// file gets the usual mode for new files.
//
// How the set is replaced as a whole: the set keeps a run log, a small file named
// ".durvane-run-<token>" in the folder of its first destination, locked with flock(2) for as
// long as the set lives, and created when the set's first temporary file is named. Before a
// temporary file gets its name, the log lists it together with
// its destination and the name of a backup. Commit then appends the temporary files' inode
// numbers and a "replacing" mark (flushed to disk), and for each file in turn makes the backup
// a hard link to the old file (or, on a file system without hard links, renames the old file
// to it) and renames the temporary file over the destination. When every rename is done the
// log gets a "done" mark, and the backups and the log are removed. If a step fails, the set
// undoes the renames in reverse order: each backup is renamed back over its destination, and a
// destination that had no old file is removed when it is still the set's new file (same
// inode). A run killed meanwhile leaves its log unlocked; the next run that stages a file in
// that folder finds it, and undoes the replacement (no "done" mark) or finishes removing the
// backups ("done" mark) before it writes anything. Only files a log names, with the log's own
// token in their names, are ever removed, so a user's file that merely looks like a temporary
// one is safe.
//
// Why a log rather than swapping a freshly written folder into place with
// renameat2(RENAME_EXCHANGE): the output folder may hold the user's own files, may be a
// symbolic link, and has an owner and mode of its own; a swap would have to carry all of that
// over and would replace the folder itself, and the exchange works only on some file systems.
// Renames of single files work on every file system that can hold the output.
class StagedFiles {
 public:
  explicit StagedFiles(Durability durability = Durability::kSync);
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  void Stage(const std::filesystem::path& destination, ByteSpans pieces);
  // Like Stage, but returns the temporary file open, for a caller that writes it piece by
  // piece as the bytes are made. Valid until the set is destroyed.
  StagedFile& Open(const std::filesystem::path& destination);
  // Replaces every destination. Throws Error naming the destination that failed; the old
  // files are then back in place.
  void Commit();

  // Destinations staged so far, in staging order.
  std::vector<std::filesystem::path> destinations() const;

 private:
  struct Entry {
    std::filesystem::path temporary;
    std::filesystem::path backup;
    std::filesystem::path destination;  // the file replaced: a link's target
    std::filesystem::path shown;        // as the caller named it
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::unique_ptr<StagedFile> file;
  };
  class RunLog;
  // Lists a temporary file in the run log, creating the log in `home` first if need be.
  void LogStaged(const std::filesystem::path& home, const std::filesystem::path& destination,
                 const std::string& record);
  void Replace();
  void Abandon() noexcept;

  Durability durability_;
  std::string token_;
  std::unique_ptr<RunLog> log_;
  std::vector<Entry> entries_;
  std::vector<std::filesystem::path> swept_folders_;
};

// Writes one file atomically: after a failure or a crash at any moment the destination holds
// either its old contents or the new ones, never a mixture.
void WriteFileAtomically(const std::filesystem::path& destination, ByteSpans pieces,
                         Durability durability = Durability::kSync);

// Suffix that marks temporary files of unfinished writes.
inline constexpr const char* kTemporarySuffix = ".durvane-tmp-";
// Start of the name of a set's run log.
inline constexpr const char* kRunLogPrefix = ".durvane-run-";

// Finishes what runs that ended early (killed, or the machine went down) left in `folder`:
// for each run log no live run holds, puts the old files back (or, when the replacement was
// complete, removes the backups) and removes the run's temporary files and the log. Files no
// such log names are left alone. Returns how many files it removed. Throws Error when an old
// file cannot be put back, since writing over a half-undone folder would mix old and new; the
// log then stays for a later try. A missing folder is no error. Stage calls it once per
// destination folder.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder);

// Test seam: where a commit is, for a test that makes it fail or ends the process there.
enum class CommitStep : std::uint8_t {
  kStaged,   // a temporary file is written in full; number: its place in the set
  kReplace,  // number i < n: before the backup and rename of file i of n; n: after the
             // last rename; n + 1: after the "done" mark, before the backups are removed
};
using CommitStepObserver = std::function<void(CommitStep, std::size_t)>;
// Test seam: whether staged files start unnamed where the file system allows (the default), or
// always get their temporary name at once, as on file systems without unnamed files.
void AllowUnnamedTemporaries(bool allow);
// Whether `folder`'s file system can make unnamed files, and staged files there start unnamed.
bool TakesUnnamedTemporaries(const std::filesystem::path& folder);

// Sets the observer every StagedFiles calls (none: an empty function). Not for concurrent
// use with running sets.
void SetCommitStepObserver(CommitStepObserver observer);

}  // namespace durvane
