// Keeping the first file of a merge as it was, and putting it back: `durvane merge --backup`
// keeps it under the backup name GNU tools use, and the window keeps it to undo its last merge.
#pragma once

#include <filesystem>

#include "core/file_lock.h"
#include "core/input_file.h"
#include "core/platform.h"
#include "core/staged_files.h"

namespace durvane::merge {

// A first file's bytes from before a merge, kept under `backup`, and how the merged first file
// and the backup were right after the merge.
struct MergeBackup {
  std::filesystem::path first;
  std::filesystem::path backup;
  platform::FileStatus merged;       // `first`, links followed
  platform::FileStatus backup_made;  // `backup`, links followed
};

// Writes the whole of `source` into `out`, as it is read now (the caller checks it unchanged
// afterwards with InputFile::CheckUnchanged). Throws Error when reading or writing fails.
void CopyWholeFile(const InputFile& source, StagedFile& out);

// "FIRST.prj~": the name followed by "~", as GNU tools name a backup.
std::filesystem::path GnuBackupName(const std::filesystem::path& first);

// Puts the backup's bytes back as the first file (written whole, as every output is, keeping
// the first file's owner and mode) and then removes the backup. Refuses with an Error, changing
// nothing, when the first file is no longer the file the merge made (another file, another
// size or modification time), so that no later change to it is lost; the message names the
// backup, which is kept. Throws Error too when the backup cannot be read or was changed.
void UndoMerge(const MergeBackup& backup, Durability durability = Durability::kSync,
               const LockWait& lock_wait = {});

// Removes the backup when it is still the file the merge made; leaves any other file at its
// name alone. Returns false when nothing was removed.
bool DiscardMergeBackup(const MergeBackup& backup) noexcept;

// The status of `path`, links followed, as MergeBackup records it. Throws Error naming it.
platform::FileStatus StatusForBackup(const std::filesystem::path& path);

}  // namespace durvane::merge
