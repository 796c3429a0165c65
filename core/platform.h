// Every call the library makes to the operating system: files, locks, flushes, renames,
// interrupts and memory advice. One interface with a POSIX implementation (platform_posix.cpp)
// and a Win32 one (platform_windows.cpp); no other code calls either system directly.
//
// Failures come back as std::error_code. The few that callers act on (a missing file, a lock
// another process holds, an operation the file system cannot do) compare equal to the
// portable std::errc values on both systems; ErrorText gives the system's own words for any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace durvane::platform {

// An open file (or folder), closed when destroyed.
class File {
 public:
  // A descriptor on POSIX, a HANDLE on Windows.
  using Native = std::intptr_t;

  File() = default;
  explicit File(Native native) : native_(native) {}
  File(File&& other) noexcept : native_(other.Release()) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      static_cast<void>(Close());
      native_ = other.Release();
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  bool is_open() const { return native_ != kClosed; }
  Native native() const { return native_; }
  // Closes now and reports the result: a close can report a failed write.
  std::error_code Close();

 private:
  static constexpr Native kClosed = -1;
  Native Release() {
    const Native n = native_;
    native_ = kClosed;
    return n;
  }
  Native native_ = kClosed;
};

// What a file is, as far as the library cares.
enum class FileKind : std::uint8_t {
  kMissing,
  kRegular,
  kDirectory,
  kFifo,
  kSocket,
  kDevice,
  kOther
};

struct FileStatus {
  FileKind kind = FileKind::kMissing;
  std::uint64_t size = 0;
  // Together these name one file on one volume.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // Owner, group and permission bits; 0 where the system has none (Windows).
  unsigned owner = 0;
  unsigned group = 0;
  unsigned mode = 0;
  // How many names the file has.
  std::uint64_t links = 1;
  // Last change of the contents and of the file's own record, in nanoseconds of the system's
  // clock: a file changed by another program differs in one of them.
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;

  bool SameFile(const FileStatus& other) const {
    return device == other.device && inode == other.inode;
  }
};

// Opens a file or folder for reading without waiting on a FIFO or a device (they are refused
// by the caller once their kind is known; MakeBlocking then turns a regular file back to
// ordinary reads). `follow_links` false refuses a symbolic link at the last step.
File OpenForReading(const std::filesystem::path& path, std::error_code& error,
                    bool follow_links = true);
void MakeBlocking(const File& file);
FileStatus Status(const File& file, std::error_code& error);
// The status of the file `path` names; kind kMissing, and no error, when there is none.
FileStatus PathStatus(const std::filesystem::path& path, bool follow_links, std::error_code& error);

// Permission bits of a folder that let other users plant files in it.
inline constexpr unsigned kStickyBit = 01000;
inline constexpr unsigned kWritableByOthers = 0002;
// Whether files have an owner and permission bits the library can read (POSIX), or not
// (Windows: FileStatus's owner, group and mode are 0 there).
#ifdef _WIN32
inline constexpr bool kFilesHaveOwners = false;
#else
inline constexpr bool kFilesHaveOwners = true;
#endif
// The user this process acts for (its effective user ID); 0 where files have no owners.
unsigned CurrentUser();

// A folder held open, whose files are named by single names (no folder separator). An
// operation on a name never follows a symbolic link at that name, and acts in this folder even
// when the path it was opened by comes to name another one: POSIX does this with the *at calls
// on the folder's descriptor; Windows, which has no such calls, joins the folder's path and
// the name.
class Folder {
 public:
  Folder() = default;
  // Opens the folder `path` names, following links to it. Fails when it is not a folder.
  static Folder Open(const std::filesystem::path& path, std::error_code& error);

  bool is_open() const { return handle_.is_open(); }
  const std::filesystem::path& path() const { return path_; }
  // The folder's own status.
  FileStatus Status(std::error_code& error) const;
  // The status of the entry `name` itself, a link not followed; kind kMissing, and no error,
  // when there is none.
  FileStatus StatusOf(const std::filesystem::path& name, std::error_code& error) const;
  // Opens `name` for reading, refusing a link and not waiting on a FIFO or a device.
  File OpenForReading(const std::filesystem::path& name, std::error_code& error) const;
  // Creates `name` for writing with permission bits `mode` (less the process's umask); fails
  // when the name is taken, by a link too.
  File CreateNew(const std::filesystem::path& name, unsigned mode, std::error_code& error) const;
  // A new file here without a name (Linux's O_TMPFILE), or a closed File where the file system
  // or the system cannot make one and name it later.
  File CreateUnnamed(unsigned mode) const;
  // Gives a file made by CreateUnnamed the name `name`.
  std::error_code NameUnnamed(const File& file, const std::filesystem::path& name) const;
  // Renames `from` over `to`, replacing any file there, atomically where the system can.
  std::error_code Rename(const std::filesystem::path& from, const std::filesystem::path& to) const;
  // Makes `link` a second name of the file `existing`.
  std::error_code HardLink(const std::filesystem::path& existing,
                           const std::filesystem::path& link) const;
  std::error_code Remove(const std::filesystem::path& name) const;
  // Waits until the bytes of the closed file `name` are on disk.
  std::error_code FlushFile(const std::filesystem::path& name) const;
  // Flushes the folder's entries (new names, renames) to disk, where the system can.
  void Flush() const;
  // What the symbolic link `name` holds.
  std::filesystem::path ReadLink(const std::filesystem::path& name, std::error_code& error) const;
  // The names of the folder's entries.
  std::vector<std::filesystem::path> Names(std::error_code& error) const;

 private:
  File handle_;
  std::filesystem::path path_;
};

// The files (not folders) in the folder `folder` that a listing shows its user, as PathBytes
// gives their names, in the order the system lists them: never "." and "..", and neither hidden
// nor system files on Windows, nor names that begin with a dot on POSIX. An empty `folder` is
// the current one; "C:" on Windows is drive C's current folder.
std::vector<std::string> ListedFiles(const std::filesystem::path& folder, std::error_code& error);

// Test seam: the operations whose order keeps a set of files whole, reported as they start.
enum class Operation : std::uint8_t { kFlushFile, kRename };
using OperationObserver = std::function<void(Operation, const std::filesystem::path& name)>;
// Sets the observer (none: an empty function). Not for concurrent use with running writes.
void SetOperationObserver(OperationObserver observer);
// Reports an operation to the observer; called by the implementations.
void NotifyOperation(Operation operation, const std::filesystem::path& name);

// Reads once at `offset`: fewer bytes than asked only at the end of the file (0 there).
std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::byte> buffer,
                   std::error_code& error);
// Writes all of `data` at `offset`.
std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::byte> data);
// Reserves disk space for `size` bytes; a file system that cannot is no error.
std::error_code Reserve(const File& file, std::uint64_t size);
// Starts writing the bytes at [offset, offset + size) to disk without waiting (size 0: to the
// end). Only a hint; where the system has no such call it does nothing.
void StartWriteBack(const File& file, std::uint64_t offset, std::uint64_t size);
// Waits until the file's bytes are on disk.
std::error_code Flush(const File& file);
// Gives a file the owner, group and mode of the one it replaces (see StagedFile::Close);
// nothing on systems without them.
std::error_code KeepOwnerAndMode(const File& file, unsigned owner, unsigned group, unsigned mode);

// An exclusive lock on one file or folder among processes, held until destroyed. It does not
// keep the file open: Windows renames nothing over an open file. TryLock fails with
// std::errc::resource_unavailable_try_again while another holder has it, and with
// std::errc::not_supported where the file system cannot lock at all.
class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Release(); }
  bool held() const { return native_ != -1; }
  void Release();

 private:
  friend std::error_code TakeLock(const File& file, FileLock& lock, bool wait);
  std::intptr_t native_ = -1;
  std::string name_;
};
// Locks the file open as `file`; `wait` false fails at once while another holder has it.
std::error_code TakeLock(const File& file, FileLock& lock, bool wait);

// The system's words for `error`.
std::string ErrorText(std::error_code error);

// A path as bytes that can be stored in a file and turned back by PathFromBytes: the native
// bytes on POSIX, UTF-8 on Windows.
std::string PathBytes(const std::filesystem::path& path);
std::filesystem::path PathFromBytes(const std::string& bytes);

std::uint64_t ProcessId();

// The program's arguments (less its name) in UTF-8, whatever the system's code page; on
// Windows also makes the console show UTF-8 output as such.
std::vector<std::string> Arguments(int argc, char** argv);

// Makes standard output take bytes as they are (Windows translates line ends otherwise).
void MakeStandardOutputBinary();

// Makes a write past the process's file size limit fail with an error rather than end the
// process (SIGXFSZ on POSIX), so that it is reported and cleaned up like a full disk.
void IgnoreFileSizeSignal();

// Gives the calling thread (on Linux also the threads it starts from then on) a lower priority
// than the process's other threads, for good: for work that a window's painting must never wait
// behind. Does nothing where the system cannot.
void LowerThreadPriority();

// Calls `handler` on an ordinary thread, never in a signal handler, when the user interrupts
// the program (Ctrl-C; SIGINT and SIGTERM on POSIX), with the status the process should exit
// with. Must be called before any other thread starts. The handler ends with ExitNow.
void OnInterrupt(std::function<void(int exit_status)> handler);
// Ends the process at once with `status`, running no destructors or exit handlers.
[[noreturn]] void ExitNow(int status);

// Memory for large buffers: aligned to `alignment` (a power of two), freed with FreeAligned.
// Blocks of `huge_page` bytes or more are advised to use huge pages where the system has them.
void* AllocateAligned(std::size_t bytes, std::size_t alignment, std::size_t huge_page);
void FreeAligned(void* p);

}  // namespace durvane::platform
