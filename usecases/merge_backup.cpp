#include "usecases/merge_backup.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "core/error.h"

namespace durvane::merge {
namespace {

// The bytes moved per read and write while a file is copied.
constexpr std::size_t kCopyBytes = std::size_t{256} << 10;

bool Unchanged(const platform::FileStatus& now, const platform::FileStatus& then) {
  return now.kind == platform::FileKind::kRegular && now.SameFile(then) && now.size == then.size &&
         now.modified_ns == then.modified_ns;
}

}  // namespace

void CopyWholeFile(const InputFile& source, StagedFile& out) {
  out.Reserve(source.size());
  std::vector<std::byte> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBytes, source.size())));
  for (std::uint64_t at = 0; at < source.size();) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), source.size() - at));
    const std::span<std::byte> piece = std::span(buffer).first(size);
    source.ReadExactly(at, piece);
    out.WriteAt(at, piece);
    at += size;
  }
}

std::filesystem::path GnuBackupName(const std::filesystem::path& first) {
  std::filesystem::path name = first;
  name += "~";
  return name;
}

platform::FileStatus StatusForBackup(const std::filesystem::path& path) {
  std::error_code error;
  const platform::FileStatus status = platform::PathStatus(path, true, error);
  if (error) {
    throw Error("'" + platform::PathBytes(path) + "': " + platform::ErrorText(error));
  }
  return status;
}

void UndoMerge(const MergeBackup& backup, Durability durability, const LockWait& lock_wait) {
  const std::string first = "'" + platform::PathBytes(backup.first) + "'";
  const std::string kept = "'" + platform::PathBytes(backup.backup) + "'";
  const WriterLock lock(backup.first, lock_wait);
  const auto check_first = [&] {
    if (!Unchanged(StatusForBackup(backup.first), backup.merged)) {
      throw Error(first + " has changed since the merge, so it was not put back; the file as it " +
                  "was before the merge is kept as " + kept);
    }
  };
  check_first();
  const InputFile source(backup.backup);
  if (!Unchanged(StatusForBackup(backup.backup), backup.backup_made)) {
    throw Error(kept + " has changed since the merge, so " + first + " was not put back");
  }
  {
    StagedFiles files(durability);
    CopyWholeFile(source, files.Open(backup.first));
    source.CheckUnchanged();
    check_first();
    files.Commit();
  }
  DiscardMergeBackup(backup);
}

bool DiscardMergeBackup(const MergeBackup& backup) noexcept {
  try {
    const std::filesystem::path target = OutputTarget(backup.backup);
    if (!Unchanged(StatusForBackup(target), backup.backup_made)) return false;
    std::error_code error;
    const std::filesystem::path parent = target.has_parent_path() ? target.parent_path() : ".";
    const platform::Folder folder = platform::Folder::Open(parent, error);
    return !error && !folder.Remove(target.filename());
  } catch (...) {
    return false;
  }
}

}  // namespace durvane::merge
