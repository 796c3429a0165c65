// The platform layer on Windows. Paths are UTF-16 (std::filesystem::path's native form) and
// every file is opened with FILE_SHARE_DELETE, so that a file another handle of this process
// holds open can still be renamed over or removed, as on POSIX.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace durvane::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system's error, as the portable value where callers act on it.
std::error_code FromWin32(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_LOCK_VIOLATION:
    case ERROR_SHARING_VIOLATION:
    case ERROR_IO_PENDING:
      return std::make_error_code(std::errc::resource_unavailable_try_again);
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return std::make_error_code(std::errc::not_supported);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

std::error_code LastError() {
  return FromWin32(::GetLastError());
}

HANDLE Handle(const File& file) {
  return reinterpret_cast<HANDLE>(file.native());
}

File Opened(HANDLE handle, std::error_code& error) {
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastError();
    return File();
  }
  error.clear();
  return File(reinterpret_cast<File::Native>(handle));
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(offset & 0xffffffffu);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

// FILETIME counts 100 ns steps.
std::int64_t Nanoseconds(LARGE_INTEGER time) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.QuadPart) % (1ULL << 62)) * 100;
}

// Reads and writes go in pieces a DWORD can count.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

std::function<void(int)>& InterruptHandler() {
  static std::function<void(int)> handler;
  return handler;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      InterruptHandler()(130);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterruptHandler()(143);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::error_code File::Close() {
  if (!is_open()) return {};
  return ::CloseHandle(reinterpret_cast<HANDLE>(Release())) ? std::error_code() : LastError();
}

File OpenForReading(const std::filesystem::path& path, std::error_code& error, bool follow_links) {
  // Backup semantics opens folders too (for locks); the reparse flag opens a link itself.
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return Opened(
      ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr),
      error);
}

void MakeBlocking(const File&) {}

FileStatus Status(const File& file, std::error_code& error) {
  error.clear();
  FileStatus status;
  switch (::GetFileType(Handle(file))) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE:
      status.kind = FileKind::kFifo;
      return status;
    case FILE_TYPE_CHAR:
      status.kind = FileKind::kDevice;
      return status;
    default:
      status.kind = FileKind::kOther;
      return status;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO times{};
  if (!::GetFileInformationByHandle(Handle(file), &info) ||
      !::GetFileInformationByHandleEx(Handle(file), FileBasicInfo, &times, sizeof times)) {
    error = LastError();
    return {};
  }
  status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory
                                                                        : FileKind::kRegular;
  status.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  status.device = info.dwVolumeSerialNumber;
  status.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  status.links = info.nNumberOfLinks;
  status.modified_ns = Nanoseconds(times.LastWriteTime);
  status.changed_ns = Nanoseconds(times.ChangeTime);
  return status;
}

FileStatus PathStatus(const std::filesystem::path& path, bool follow_links,
                      std::error_code& error) {
  // No access asked: enough to read a file's record, and never refused by a sharing mode.
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const File file(reinterpret_cast<File::Native>(
      ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr)));
  error.clear();
  if (!file.is_open()) {
    const std::error_code failed = LastError();
    if (failed != std::errc::no_such_file_or_directory) error = failed;
    return {};
  }
  return Status(file, error);
}

std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::byte> buffer,
                   std::error_code& error) {
  error.clear();
  OVERLAPPED place = At(offset);
  DWORD read = 0;
  const DWORD want = static_cast<DWORD>(std::min(buffer.size(), kMaxTransfer));
  if (!::ReadFile(Handle(file), buffer.data(), want, &read, &place)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_HANDLE_EOF) return 0;
    error = FromWin32(code);
    return 0;
  }
  return read;
}

std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::byte> data) {
  while (!data.empty()) {
    OVERLAPPED place = At(offset);
    DWORD written = 0;
    const DWORD want = static_cast<DWORD>(std::min(data.size(), kMaxTransfer));
    if (!::WriteFile(Handle(file), data.data(), want, &written, &place)) return LastError();
    if (written == 0) return std::make_error_code(std::errc::no_space_on_device);
    data = data.subspan(written);
    offset += written;
  }
  return {};
}

std::error_code Reserve(const File&, std::uint64_t) {
  // The bytes get their space as they are written.
  return {};
}

void StartWriteBack(const File&, std::uint64_t, std::uint64_t) {}

std::error_code Flush(const File& file) {
  return ::FlushFileBuffers(Handle(file)) ? std::error_code() : LastError();
}

std::error_code KeepOwnerAndMode(const File&, unsigned, unsigned, unsigned) {
  // A new file takes the permissions its folder gives, as files written in place do there.
  return {};
}

namespace {

// Renames within one folder with POSIX semantics (Windows 10 1809 and later): the name is
// taken over even while another handle, one opened with FILE_SHARE_DELETE, holds the old file
// open, as a merge holds the file it replaces.
bool RenameOverOpenFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (from.parent_path() != to.parent_path()) return false;
  const File source(reinterpret_cast<File::Native>(
      ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  if (!source.is_open()) return false;
  const std::wstring name = to.filename().native();
  std::vector<std::byte> info(offsetof(FILE_RENAME_INFO, FileName) +
                              (name.size() + 1) * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
  // The flags share their place with the older ReplaceIfExists field.
  const DWORD flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
  std::memcpy(info.data(), &flags, sizeof flags);
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  // FileRenameInfoEx, which the headers name only for Windows 10 targets.
  constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  return ::SetFileInformationByHandle(Handle(source), kRenameInfoEx, info.data(),
                                      static_cast<DWORD>(info.size()));
}

std::error_code RenamePath(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (RenameOverOpenFile(from, to)) return {};
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? std::error_code()
             : LastError();
}

}  // namespace

unsigned CurrentUser() {
  return 0;
}

Folder Folder::Open(const std::filesystem::path& path, std::error_code& error) {
  Folder folder;
  const std::filesystem::path at = path.empty() ? std::filesystem::path(".") : path;
  folder.handle_ = platform::OpenForReading(at, error);
  if (error) return folder;
  if (folder.Status(error).kind != FileKind::kDirectory && !error) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
  if (error) {
    folder.handle_ = File();
    return folder;
  }
  folder.path_ = at;
  return folder;
}

FileStatus Folder::Status(std::error_code& error) const {
  return platform::Status(handle_, error);
}

FileStatus Folder::StatusOf(const std::filesystem::path& name, std::error_code& error) const {
  return PathStatus(path_ / name, false, error);
}

File Folder::OpenForReading(const std::filesystem::path& name, std::error_code& error) const {
  File file = platform::OpenForReading(path_ / name, error, false);
  if (error) return file;
  // The reparse flag opened a link itself: refused, as O_NOFOLLOW refuses one.
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (::GetFileInformationByHandleEx(Handle(file), FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return File();
  }
  return file;
}

File Folder::CreateNew(const std::filesystem::path& name, unsigned, std::error_code& error) const {
  // CREATE_NEW fails on any entry of that name, a link included.
  return Opened(::CreateFileW((path_ / name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
                error);
}

File Folder::CreateUnnamed(unsigned) const {
  // Windows cannot give a name to a file created without one.
  return File();
}

std::error_code Folder::NameUnnamed(const File&, const std::filesystem::path&) const {
  return std::make_error_code(std::errc::not_supported);
}

std::error_code Folder::Rename(const std::filesystem::path& from,
                               const std::filesystem::path& to) const {
  NotifyOperation(Operation::kRename, to);
  return RenamePath(path_ / from, path_ / to);
}

std::error_code Folder::HardLink(const std::filesystem::path& existing,
                                 const std::filesystem::path& link) const {
  return ::CreateHardLinkW((path_ / link).c_str(), (path_ / existing).c_str(), nullptr)
             ? std::error_code()
             : LastError();
}

std::error_code Folder::Remove(const std::filesystem::path& name) const {
  return ::DeleteFileW((path_ / name).c_str()) ? std::error_code() : LastError();
}

std::error_code Folder::FlushFile(const std::filesystem::path& name) const {
  NotifyOperation(Operation::kFlushFile, name);
  // Flushing needs a handle that may write.
  const File file(reinterpret_cast<File::Native>(
      ::CreateFileW((path_ / name).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
  if (!file.is_open()) return LastError();
  return platform::Flush(file);
}

void Folder::Flush() const {
  // NTFS logs its folder entries; renames are asked to reach the disk with MOVEFILE_WRITE_THROUGH.
}

std::filesystem::path Folder::ReadLink(const std::filesystem::path& name,
                                       std::error_code& error) const {
  return std::filesystem::read_symlink(path_ / name, error);
}

std::vector<std::filesystem::path> Folder::Names(std::error_code& error) const {
  std::vector<std::filesystem::path> names;
  for (std::filesystem::directory_iterator it(path_, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    names.push_back(it->path().filename());
  }
  return names;
}

std::vector<std::string> ListedFiles(const std::filesystem::path& folder, std::error_code& error) {
  std::vector<std::string> names;
  std::wstring pattern = folder.native();
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' &&
      pattern.back() != L':') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE first =
      ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                         FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    // A drive's root holds no "." or "..": an empty one lists nothing at all.
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) {
      error.clear();
    } else {
      error = FromWin32(code);
    }
    return names;
  }
  const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> search(first, ::FindClose);
  // "." and ".." are folders, so the folder bit leaves them out too.
  constexpr DWORD kUnlisted =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((found.dwFileAttributes & kUnlisted) == 0) {
      names.push_back(PathBytes(std::filesystem::path(found.cFileName)));
    }
  } while (::FindNextFileW(search.get(), &found));
  const DWORD code = ::GetLastError();
  error = code == ERROR_NO_MORE_FILES ? std::error_code() : FromWin32(code);
  return names;
}

// A lock is a named mutex whose name is the file's identity (volume and file index): it holds
// no handle of the file, so the file can still be replaced, and the system releases it when
// its process ends, however it ends. Mutexes can be taken again by the thread that holds them;
// the names this process holds are kept so that it never takes one lock twice.
std::mutex held_mutex;
std::vector<std::wstring>& HeldNames() {
  static std::vector<std::wstring> names;
  return names;
}

FileLock::FileLock(FileLock&& other) noexcept
    : native_(std::exchange(other.native_, -1)), name_(std::move(other.name_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    native_ = std::exchange(other.native_, -1);
    name_ = std::move(other.name_);
  }
  return *this;
}

void FileLock::Release() {
  if (native_ == -1) return;
  const auto mutex = reinterpret_cast<HANDLE>(std::exchange(native_, -1));
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
  const std::lock_guard guard(held_mutex);
  auto& names = HeldNames();
  const std::wstring name = std::filesystem::path(PathFromBytes(name_)).native();
  names.erase(std::find(names.begin(), names.end(), name));
}

std::error_code TakeLock(const File& file, FileLock& lock, bool wait) {
  lock.Release();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file), &info)) return LastError();
  const std::wstring name = L"Local\\durvane-lock-" + std::to_wstring(info.dwVolumeSerialNumber) +
                            L"-" + std::to_wstring(info.nFileIndexHigh) + L"-" +
                            std::to_wstring(info.nFileIndexLow);
  for (;;) {
    {
      const std::lock_guard guard(held_mutex);
      auto& names = HeldNames();
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
        if (mutex == nullptr) return LastError();
        const DWORD result = ::WaitForSingleObject(mutex, 0);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
          names.push_back(name);
          lock.native_ = reinterpret_cast<std::intptr_t>(mutex);
          lock.name_ = PathBytes(std::filesystem::path(name));
          return {};
        }
        ::CloseHandle(mutex);
      }
    }
    if (!wait) return std::make_error_code(std::errc::resource_unavailable_try_again);
    // Another run, or another part of this one, holds it: look again shortly.
    ::Sleep(50);
  }
}

std::string ErrorText(std::error_code error) {
  if (error.category() != std::system_category()) return error.message();
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(error.value());
  std::wstring wide(text, length);
  ::LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.')) {
    wide.pop_back();
  }
  return PathBytes(std::filesystem::path(wide));
}

std::string PathBytes(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::filesystem::path PathFromBytes(const std::string& bytes) {
  return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
}

std::uint64_t ProcessId() {
  return ::GetCurrentProcessId();
}

std::vector<std::string> Arguments(int, char**) {
  // The narrow arguments are in the ANSI code page, which may not hold every name.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    args.push_back(PathBytes(std::filesystem::path(wide[i])));
  }
  if (wide != nullptr) ::LocalFree(wide);
  ::SetConsoleOutputCP(CP_UTF8);
  return args;
}

void MakeStandardOutputBinary() {
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

void LowerThreadPriority() {
  static_cast<void>(::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL));
}

void IgnoreFileSizeSignal() {}

void OnInterrupt(std::function<void(int exit_status)> handler) {
  // The system calls console handlers on a thread of their own.
  InterruptHandler() = std::move(handler);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void ExitNow(int status) {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) ::Sleep(INFINITE);
}

void* AllocateAligned(std::size_t bytes, std::size_t alignment, std::size_t) {
  void* p = ::_aligned_malloc(bytes == 0 ? 1 : bytes, alignment);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void FreeAligned(void* p) {
  ::_aligned_free(p);
}

}  // namespace durvane::platform
