#include "core/input_file.h"

#include "core/error.h"

namespace durvane {
namespace {

// Why a file that is not a regular file cannot be read as one.
const char* KindOf(platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::kDirectory:
      return "it is a directory";
    case platform::FileKind::kFifo:
      return "it is a FIFO (named pipe), not a regular file";
    case platform::FileKind::kSocket:
      return "it is a socket, not a regular file";
    case platform::FileKind::kDevice:
      return "it is a device, not a regular file";
    default:
      return "not a regular file";
  }
}

}  // namespace

InputFile::InputFile(std::filesystem::path path) : path_(std::move(path)) {
  // Opened without waiting, so that a FIFO or a device is refused below rather than waited
  // on; a regular file is then read as usual.
  std::error_code error;
  file_ = platform::OpenForReading(path_, error);
  if (error) ThrowSystemError("open", path_, error);
  opened_ = Stat();
  if (opened_.kind != platform::FileKind::kRegular)
    ThrowFileError("read", path_, KindOf(opened_.kind));
  platform::MakeBlocking(file_);
  size_ = opened_.size;
}

InputFile::~InputFile() = default;

InputFile::Identity InputFile::Stat() const {
  std::error_code error;
  const platform::FileStatus st = platform::Status(file_, error);
  if (error) ThrowSystemError("read", path_, error);
  return {st.kind, st.size, st.modified_ns, st.changed_ns};
}

std::size_t InputFile::ReadSome(std::uint64_t offset, std::span<std::byte> buffer) const {
  std::size_t done = 0;
  while (done < buffer.size()) {
    std::error_code error;
    const std::size_t n = platform::ReadAt(file_, offset + done, buffer.subspan(done), error);
    if (error) ThrowSystemError("read", path_, error);
    if (n == 0) break;
    done += n;
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
