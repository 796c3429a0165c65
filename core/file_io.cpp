#include "core/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "core/error.h"
#include "core/input_file.h"

namespace durvane {
namespace {

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports the result, since close can report a failed write.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::filesystem::path ResolveLink(const std::filesystem::path& destination) {
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(destination, ec))) {
    std::filesystem::path target = std::filesystem::weakly_canonical(destination, ec);
    if (!ec) return target;
  }
  return destination;
}

void WriteAllAt(int fd, std::uint64_t offset, std::span<const std::byte> data,
                const std::filesystem::path& path) {
  const std::byte* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
      ThrowSystemError("write", path, EFBIG);
    }
    const ssize_t n = ::pwrite(fd, p, left, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("write", path, errno);
    }
    p += n;
    offset += static_cast<std::uint64_t>(n);
    left -= static_cast<std::size_t>(n);
  }
}

std::atomic<unsigned> temporary_counter{0};

// Files at least this large that replace another get their disk space reserved before they
// are written.
constexpr std::uint64_t kReserveBytes = std::uint64_t{1} << 20;

// Pieces at least this large are sent to disk as soon as they are written.
constexpr std::size_t kEarlyWritebackBytes = std::size_t{128} << 10;

// Parses a decimal number made of digits only (no sign), as the temporary names hold them.
bool ParseDigits(std::string_view text, unsigned long long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// The process id in a name ".<name>.durvane-tmp-<pid>-<n>", or 0 when the name has another form.
pid_t TemporaryOwner(std::string_view file_name) {
  const std::string_view suffix = kTemporarySuffix;
  if (file_name.size() < 2 || file_name.front() != '.') return 0;
  const std::size_t at = file_name.rfind(suffix);
  if (at == std::string_view::npos || at < 2) return 0;
  const std::string_view tail = file_name.substr(at + suffix.size());
  const std::size_t dash = tail.find('-');
  unsigned long long pid = 0;
  unsigned long long counter = 0;
  if (dash == std::string_view::npos || !ParseDigits(tail.substr(0, dash), pid) ||
      !ParseDigits(tail.substr(dash + 1), counter)) {
    return 0;
  }
  if (pid == 0 || pid > static_cast<unsigned long long>(std::numeric_limits<pid_t>::max())) {
    return 0;
  }
  return static_cast<pid_t>(pid);
}

// True unless the process surely does not exist: one we may not signal still runs.
bool ProcessRuns(pid_t pid) {
  return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder) {
  std::size_t removed = 0;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const pid_t owner = TemporaryOwner(it->path().filename().string());
    if (owner == 0 || ProcessRuns(owner)) continue;
    std::error_code status_error;
    if (!it->is_regular_file(status_error) || it->is_symlink(status_error)) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

namespace {

// Reads the whole file into `bytes`, any container with data() and resize().
template <typename Bytes>
Bytes ReadWhole(const std::filesystem::path& path) {
  const InputFile file(path);
  Bytes bytes(file.size());
  // A file that shrank while being read gives what it still held.
  bytes.resize(file.ReadSome(0, {bytes.data(), bytes.size()}));
  return bytes;
}

}  // namespace

std::vector<std::byte> ReadFile(const std::filesystem::path& path) {
  return ReadWhole<std::vector<std::byte>>(path);
}

ByteBuffer ReadFileBuffer(const std::filesystem::path& path) {
  return ReadWhole<ByteBuffer>(path);
}

StagedFile::~StagedFile() {
  if (fd_ >= 0) ::close(fd_);
}

void StagedFile::Reserve(std::uint64_t size) {
  // New files and small ones are not waited for at the rename.
  if (!replacing_ || size < kReserveBytes) return;
  if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    ThrowSystemError("write", destination_, EFBIG);
  }
  // File systems that cannot reserve space get the bytes as they are written.
  if (::fallocate(fd_, 0, 0, static_cast<off_t>(size)) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS) {
    ThrowSystemError("write", destination_, errno);
  }
}

void StagedFile::WriteAt(std::uint64_t offset, std::span<const std::byte> data) {
  WriteAllAt(fd_, offset, data, destination_);
  // Starts writing these bytes to disk now, while the rest of the file is made, so that the
  // fsync before Commit's rename has little left to wait for. Only a hint: Commit still
  // syncs everything.
  if (durability_ == Durability::kSync && data.size() >= kEarlyWritebackBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(data.size()),
                      SYNC_FILE_RANGE_WRITE);
  }
}

void StagedFile::Close() {
  if (fd_ < 0) return;
  FileDescriptor fd(std::exchange(fd_, -1));
  // The flush to disk waits until Commit, so that the disk writes all the set's files at once
  // rather than one after another; here they are only started.
  if (durability_ == Durability::kSync) ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
  if (fd.Close() != 0) ThrowSystemError("write", destination_, errno);
}

StagedFiles::~StagedFiles() {
  for (const Entry& e : entries_) ::unlink(e.temporary.c_str());
}

void StagedFiles::Stage(const std::filesystem::path& destination, ByteSpans pieces) {
  StagedFile& file = Open(destination);
  std::uint64_t size = 0;
  for (std::span<const std::byte> piece : pieces) size += piece.size();
  file.Reserve(size);
  std::uint64_t offset = 0;
  for (std::span<const std::byte> piece : pieces) {
    file.WriteAt(offset, piece);
    offset += piece.size();
  }
  file.Close();
}

StagedFile& StagedFiles::Open(const std::filesystem::path& destination) {
  const std::filesystem::path target = ResolveLink(destination);
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Leftovers of a killed earlier run must not pile up beside the files they were meant for.
  if (std::find(swept_folders_.begin(), swept_folders_.end(), dir) == swept_folders_.end()) {
    RemoveStaleTemporaries(dir);
    swept_folders_.push_back(dir);
  }

  // A replaced file keeps its permissions; a new one is created with 0666 less the umask.
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing && S_ISDIR(old.st_mode)) {
    ThrowFileError("write", destination, "it is a directory");
  }

  std::filesystem::path temporary;
  int raw_fd = -1;
  for (int attempt = 0; attempt < 100 && raw_fd < 0; ++attempt) {
    temporary = dir / ("." + target.filename().string() + kTemporarySuffix +
                       std::to_string(::getpid()) + "-" + std::to_string(temporary_counter++));
    raw_fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw_fd < 0 && errno != EEXIST) ThrowSystemError("write", destination, errno);
  }
  if (raw_fd < 0) ThrowSystemError("write", destination, EEXIST);
  if (replacing) ::fchmod(raw_fd, old.st_mode & 07777);
  entries_.push_back({temporary, target,
                      std::make_unique<StagedFile>(raw_fd, destination, durability_, replacing)});
  return *entries_.back().file;
}

void StagedFiles::Commit() {
  for (Entry& e : entries_) e.file->Close();
  // Every file is on disk before any of them replaces its destination.
  if (durability_ == Durability::kSync) {
    for (const Entry& e : entries_) {
      FileDescriptor fd(::open(e.temporary.c_str(), O_RDONLY | O_CLOEXEC));
      if (fd.get() < 0 || ::fsync(fd.get()) != 0) ThrowSystemError("write", e.destination, errno);
    }
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (::rename(e.temporary.c_str(), e.destination.c_str()) != 0) {
      const int error = errno;
      entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(i));
      ThrowSystemError("replace", e.destination, error);
    }
  }
  entries_.clear();
}

std::vector<std::filesystem::path> StagedFiles::destinations() const {
  std::vector<std::filesystem::path> out;
  for (const Entry& e : entries_) out.push_back(e.destination);
  return out;
}

void WriteFileAtomically(const std::filesystem::path& destination, ByteSpans pieces,
                         Durability durability) {
  StagedFiles files(durability);
  files.Stage(destination, pieces);
  files.Commit();
}

}  // namespace durvane
