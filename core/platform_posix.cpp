// The platform layer on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <utility>

#include "core/platform.h"

namespace durvane::platform {
namespace {

// The nice value LowerThreadPriority gives: far enough from the default 0 that threads at 0 get
// the processors nearly whenever they want them.
[[maybe_unused]] constexpr int kLowerNice = 10;

std::error_code LastError() {
  return {errno, std::generic_category()};
}

int Fd(const File& file) {
  return static_cast<int>(file.native());
}

File Opened(int fd, std::error_code& error) {
  if (fd < 0) {
    error = LastError();
    return File();
  }
  error.clear();
  return File(fd);
}

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISFIFO(mode)) return FileKind::kFifo;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  return FileKind::kOther;
}

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

FileStatus FromStat(const struct stat& st) {
  return {KindOf(st.st_mode),
          static_cast<std::uint64_t>(st.st_size),
          static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino),
          st.st_uid,
          st.st_gid,
          st.st_mode & 07777u,
          static_cast<std::uint64_t>(st.st_nlink),
          Nanoseconds(st.st_mtim),
          Nanoseconds(st.st_ctim)};
}

bool FitsOffset(std::uint64_t offset) {
  return offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
}

}  // namespace

std::error_code File::Close() {
  if (!is_open()) return {};
  const int result = ::close(static_cast<int>(Release()));
  return result == 0 ? std::error_code() : LastError();
}

File OpenForReading(const std::filesystem::path& path, std::error_code& error, bool follow_links) {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow_links ? 0 : O_NOFOLLOW);
  return Opened(::open(path.c_str(), flags), error);
}

void MakeBlocking(const File& file) {
  const int flags = ::fcntl(Fd(file), F_GETFL);
  if (flags >= 0) ::fcntl(Fd(file), F_SETFL, flags & ~O_NONBLOCK);
}

FileStatus Status(const File& file, std::error_code& error) {
  struct stat st {};
  if (::fstat(Fd(file), &st) != 0) {
    error = LastError();
    return {};
  }
  error.clear();
  return FromStat(st);
}

FileStatus PathStatus(const std::filesystem::path& path, bool follow_links,
                      std::error_code& error) {
  struct stat st {};
  error.clear();
  if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) error = LastError();
    return {};
  }
  return FromStat(st);
}

std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::byte> buffer,
                   std::error_code& error) {
  error.clear();
  if (!FitsOffset(offset)) return 0;
  for (;;) {
    const ssize_t n = ::pread(Fd(file), buffer.data(), buffer.size(), static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) {
      error = LastError();
      return 0;
    }
  }
}

std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::byte> data) {
  const std::byte* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    if (!FitsOffset(offset)) return std::make_error_code(std::errc::file_too_large);
    const ssize_t n = ::pwrite(Fd(file), p, left, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    p += n;
    offset += static_cast<std::uint64_t>(n);
    left -= static_cast<std::size_t>(n);
  }
  return {};
}

std::error_code Reserve(const File& file, std::uint64_t size) {
  if (!FitsOffset(size)) return std::make_error_code(std::errc::file_too_large);
  if (::fallocate(Fd(file), 0, 0, static_cast<off_t>(size)) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS) {
    return LastError();
  }
  return {};
}

void StartWriteBack(const File& file, std::uint64_t offset, std::uint64_t size) {
  if (!FitsOffset(offset) || !FitsOffset(size)) return;
  ::sync_file_range(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
}

std::error_code Flush(const File& file) {
  return ::fsync(Fd(file)) == 0 ? std::error_code() : LastError();
}

std::error_code KeepOwnerAndMode(const File& file, unsigned owner, unsigned group, unsigned mode) {
  // Owner first, mode last: a change of owner clears the set-user-ID and set-group-ID bits,
  // and so does a write by a user who may not set them. Those bits are kept only with the
  // owner, so that they never come to mean this process's user.
  const bool owner_kept = ::fchown(Fd(file), owner, group) == 0;
  if (!owner_kept && ::fchown(Fd(file), static_cast<uid_t>(-1), group) != 0) {
    // The user is not in the old group: the file keeps the user's, as a new file would.
  }
  mode_t kept = mode & 07777;
  if (!owner_kept) kept &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  return ::fchmod(Fd(file), kept) == 0 ? std::error_code() : LastError();
}

unsigned CurrentUser() {
  return ::geteuid();
}

Folder Folder::Open(const std::filesystem::path& path, std::error_code& error) {
  Folder folder;
  folder.handle_ =
      Opened(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), error);
  if (!error) folder.path_ = path;
  return folder;
}

FileStatus Folder::Status(std::error_code& error) const {
  return platform::Status(handle_, error);
}

FileStatus Folder::StatusOf(const std::filesystem::path& name, std::error_code& error) const {
  struct stat st {};
  error.clear();
  if (::fstatat(Fd(handle_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) error = LastError();
    return {};
  }
  return FromStat(st);
}

File Folder::OpenForReading(const std::filesystem::path& name, std::error_code& error) const {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW;
  return Opened(::openat(Fd(handle_), name.c_str(), flags), error);
}

File Folder::CreateNew(const std::filesystem::path& name, unsigned mode,
                       std::error_code& error) const {
  // O_EXCL fails on any entry of that name, a link included.
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  return Opened(::openat(Fd(handle_), name.c_str(), flags, static_cast<mode_t>(mode)), error);
}

File Folder::CreateUnnamed(unsigned mode) const {
  // The file is named later through its entry under /proc.
  static const bool proc_mounted = ::access("/proc/self/fd", X_OK) == 0;
  if (!proc_mounted) return File();
  const int fd =
      ::openat(Fd(handle_), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode));
  return fd < 0 ? File() : File(fd);
}

std::error_code Folder::NameUnnamed(const File& file, const std::filesystem::path& name) const {
  // linkat with AT_EMPTY_PATH needs a privilege; the descriptor's entry under /proc does not.
  const std::string proc_entry = "/proc/self/fd/" + std::to_string(Fd(file));
  if (::linkat(AT_FDCWD, proc_entry.c_str(), Fd(handle_), name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return LastError();
  }
  return {};
}

std::error_code Folder::Rename(const std::filesystem::path& from,
                               const std::filesystem::path& to) const {
  NotifyOperation(Operation::kRename, to);
  return ::renameat(Fd(handle_), from.c_str(), Fd(handle_), to.c_str()) == 0 ? std::error_code()
                                                                             : LastError();
}

std::error_code Folder::HardLink(const std::filesystem::path& existing,
                                 const std::filesystem::path& link) const {
  // No AT_SYMLINK_FOLLOW: a link at `existing` is linked itself, never the file it names.
  return ::linkat(Fd(handle_), existing.c_str(), Fd(handle_), link.c_str(), 0) == 0
             ? std::error_code()
             : LastError();
}

std::error_code Folder::Remove(const std::filesystem::path& name) const {
  return ::unlinkat(Fd(handle_), name.c_str(), 0) == 0 ? std::error_code() : LastError();
}

std::error_code Folder::FlushFile(const std::filesystem::path& name) const {
  NotifyOperation(Operation::kFlushFile, name);
  const int fd = ::openat(Fd(handle_), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  const std::error_code result = ::fsync(fd) == 0 ? std::error_code() : LastError();
  ::close(fd);
  return result;
}

void Folder::Flush() const {
  // Some file systems cannot flush a folder, and say so; the files themselves are flushed.
  ::fsync(Fd(handle_));
}

std::filesystem::path Folder::ReadLink(const std::filesystem::path& name,
                                       std::error_code& error) const {
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlinkat(Fd(handle_), name.c_str(), target.data(), target.size());
  if (n < 0) {
    error = LastError();
    return {};
  }
  error.clear();
  target.resize(static_cast<std::size_t>(n));
  return target;
}

std::vector<std::string> ListedFiles(const std::filesystem::path& folder, std::error_code& error) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                ::closedir);
  if (!dir) {
    error = LastError();
    return names;
  }
  error.clear();
  errno = 0;
  while (const struct dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name.starts_with('.')) continue;
    // A link counts as what it leads to, as opening it would.
    bool is_folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      is_folder = ::fstatat(::dirfd(dir.get()), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (!is_folder) names.emplace_back(name);
    errno = 0;
  }
  if (errno != 0) error = LastError();
  return names;
}

std::vector<std::filesystem::path> Folder::Names(std::error_code& error) const {
  std::vector<std::filesystem::path> names;
  // fdopendir takes over the descriptor it is given: a second one, so that the folder stays
  // open, read from its start.
  const int fd = ::openat(Fd(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (dir == nullptr) {
    error = LastError();
    if (fd >= 0) ::close(fd);
    return names;
  }
  error.clear();
  errno = 0;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(std::string(name));
  }
  if (errno != 0) error = LastError();
  ::closedir(dir);
  return names;
}

FileLock::FileLock(FileLock&& other) noexcept : native_(std::exchange(other.native_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    native_ = std::exchange(other.native_, -1);
  }
  return *this;
}

void FileLock::Release() {
  if (native_ != -1) ::close(static_cast<int>(std::exchange(native_, -1)));
}

std::error_code TakeLock(const File& file, FileLock& lock, bool wait) {
  lock.Release();
  while (::flock(Fd(file), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    if (error == EWOULDBLOCK) {
      return std::make_error_code(std::errc::resource_unavailable_try_again);
    }
    // Some network and user-space file systems cannot lock at all.
    if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) {
      return std::make_error_code(std::errc::not_supported);
    }
    return {error, std::generic_category()};
  }
  // The lock belongs to the open file, which a second descriptor keeps open after `file` is
  // closed.
  const int held = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
  if (held < 0) return LastError();
  lock.native_ = held;
  return {};
}

std::string ErrorText(std::error_code error) {
  // generic_category().message is strerror's text without its shared buffer, so threads may
  // fail at once.
  return error.message();
}

std::string PathBytes(const std::filesystem::path& path) {
  return path.native();
}

std::filesystem::path PathFromBytes(const std::string& bytes) {
  return bytes;
}

std::uint64_t ProcessId() {
  return static_cast<std::uint64_t>(::getpid());
}

std::vector<std::string> Arguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void MakeStandardOutputBinary() {}

void LowerThreadPriority() {
#ifdef __linux__
  // Linux keeps a nice value per thread, and a thread starts with its creator's. Lowering it
  // needs no privilege; a failure leaves the thread as it was, which is still correct.
  const auto thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, thread);
  if (errno == 0 && nice < kLowerNice) {
    static_cast<void>(::setpriority(PRIO_PROCESS, thread, kLowerNice));
  }
#endif
}

void IgnoreFileSizeSignal() {
  ::signal(SIGXFSZ, SIG_IGN);
}

void OnInterrupt(std::function<void(int exit_status)> handler) {
  // The signals are blocked in this thread, so in every thread started after it, and taken by
  // one thread that waits for them: the handler may take locks like any other code.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, handler = std::move(handler)] {
    int signal_number = 0;
    while (sigwait(&signals, &signal_number) != 0) {
    }
    handler(128 + signal_number);
  }).detach();
}

void ExitNow(int status) {
  ::_exit(status);
}

void* AllocateAligned(std::size_t bytes, std::size_t alignment, std::size_t huge_page) {
  // aligned_alloc wants a multiple of the alignment.
  const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
  void* p = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
  if (p == nullptr) throw std::bad_alloc();
  if (rounded >= huge_page) ::madvise(p, rounded, MADV_HUGEPAGE);
  return p;
}

void FreeAligned(void* p) {
  std::free(p);
}

}  // namespace durvane::platform
