#include "core/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/error.h"

namespace durvane {
namespace {

// Why a file that is not a regular file cannot be read as one.
const char* KindOf(std::uint32_t mode) {
  if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  return "not a regular file";
}

}  // namespace

InputFile::InputFile(std::filesystem::path path) : path_(std::move(path)) {
  // O_NONBLOCK so that a FIFO or a device is refused below rather than waited on; on a regular
  // file it changes nothing, and it is cleared once the file is known to be one.
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) ThrowSystemError("open", path_, errno);
  try {
    opened_ = Stat();
  } catch (...) {
    ::close(fd_);
    throw;
  }
  if (!S_ISREG(opened_.mode)) {
    ::close(fd_);
    ThrowFileError("read", path_,
                   S_ISDIR(opened_.mode) ? "it is a directory" : KindOf(opened_.mode));
  }
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  size_ = opened_.size;
}

InputFile::~InputFile() {
  ::close(fd_);
}

InputFile::Identity InputFile::Stat() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) ThrowSystemError("read", path_, errno);
  return {static_cast<std::uint64_t>(st.st_size),
          st.st_mode,
          st.st_mtim.tv_sec,
          st.st_mtim.tv_nsec,
          st.st_ctim.tv_sec,
          st.st_ctim.tv_nsec};
}

std::size_t InputFile::ReadSome(std::uint64_t offset, std::span<std::byte> buffer) const {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t n =
        ::pread(fd_, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("read", path_, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void InputFile::ReadExactly(std::uint64_t offset, std::span<std::byte> buffer) const {
  if (ReadSome(offset, buffer) != buffer.size()) {
    ThrowFileError("read", path_, "another program shortened it while it was being read");
  }
}

void InputFile::CheckUnchanged() const {
  if (!(Stat() == opened_)) ThrowChanged();
}

void InputFile::ThrowChanged() const {
  ThrowFileError("read", path_, "another program changed it while it was being read");
}

}  // namespace durvane
