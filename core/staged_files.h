// Writing output files whole and atomically, a set of them all or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/run_log.h"

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
// Only regular files are replaced: a destination that is a folder, a device, a FIFO or a
// socket is refused. A destination that is a symbolic link is followed: its target is
// replaced, not the link; but in a folder other users may write to (sticky or writable by
// all), a link is followed only when the running user or the folder's owner made it, as the
// kernel's protected_symlinks rule has it, and otherwise the set is refused. A replaced file
// keeps its owner and group (as far as the process may set them) and its mode, set-user-ID
// and set-group-ID bits included (those two only when the owner was kept); a new file gets
// the usual mode for new files.
//
// How the set is replaced as a whole: each folder whose files the set replaces gets a run log
// (see run_log.h), locked for as long as the set lives and created when the set's first
// temporary file there is named. Before a temporary file gets its name, the log lists its
// destination. Commit then appends the identities of the temporary files and of the files
// they replace, and a "replacing" mark (flushed to disk), and for each file in turn makes the
// backup a hard link to the old file (or, on a file system without hard links, renames the
// old file to it) and renames the temporary file over the destination. When every rename is
// done the logs get a "done" mark, and the backups and the logs are removed. If a step fails,
// the set undoes the renames newest first: each backup is renamed back over its destination,
// and a destination that had no old file is removed when it is still the set's new file. A run
// killed meanwhile leaves its logs unlocked; the next run that stages a file in that folder
// finds them, and undoes the replacement (no "done" mark) or finishes removing the backups
// ("done" mark) before it writes anything. Every file is named relative to its folder, held
// open, never by a path that a link could turn elsewhere.
//
// A set whose files lie in several folders (when links at output names lead elsewhere) has a
// log in each; a kill between the "done" marks of two of them can leave one folder old and
// the other new. Files of one folder are always all old or all new.
//
// Why logs rather than swapping a freshly written folder into place with
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

  // What the sweeps of the set's folders left alone, and why.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  struct Home;
  struct Entry;
  Home& HomeOf(const std::filesystem::path& folder, const std::filesystem::path& destination);
  void Replace();
  void Abandon() noexcept;

  Durability durability_;
  std::string token_;
  std::vector<std::unique_ptr<Home>> homes_;
  std::vector<std::unique_ptr<Entry>> entries_;
  std::vector<std::string> warnings_;
};

// Writes one file atomically: after a failure or a crash at any moment the destination holds
// either its old contents or the new ones, never a mixture. Returns the warnings of the sweep
// of its folder.
std::vector<std::string> WriteFileAtomically(const std::filesystem::path& destination,
                                             ByteSpans pieces,
                                             Durability durability = Durability::kSync);

// The file a write to `destination` replaces: the end of the chain of symbolic links at its
// name, which may not exist yet (a dangling link names the file to create). Throws Error when
// a link on the way may not be followed (see StagedFiles).
std::filesystem::path OutputTarget(const std::filesystem::path& destination);

// Test seam: where a commit is, for a test that makes it fail or ends the process there.
enum class CommitStep : std::uint8_t {
  kOpened,   // a staged file is open for writing; number: its place in the set
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
