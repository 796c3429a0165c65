// The run log of a set of staged files: the names of a set's files, the log's format, and the
// sweep that finishes what a run that ended early left in a folder.
//
// A log is a small file ".durvane-run-<token>" in the folder whose files the set replaces,
// locked by its run for as long as the run lives. Its records name only single files of its
// own folder; the temporary and backup names are made from the token and the file's place in
// the log, never read from it. A log is acted on only when it can be nothing but this user's
// own run's: a regular file reached without following a link, owned by the running user,
// mode 0600, with one name, no larger than a log can be, that no live run holds. Files it
// names are removed or put back only when they are what the log recorded (their identity),
// and temporary files only when they are regular files of the running user. Anything else is
// left alone with one warning, and the run goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace durvane {

// Start of the names of temporary files, backups of replaced files and run logs.
inline constexpr const char* kTemporaryPrefix = ".durvane-tmp-";
inline constexpr const char* kBackupPrefix = ".durvane-old-";
inline constexpr const char* kRunLogPrefix = ".durvane-run-";

// The largest log a run writes (and so the largest the sweep reads): room for thousands of
// files of the longest names.
inline constexpr std::uint64_t kMaxRunLogBytes = std::uint64_t{4} << 20;

// A random token that names one set's files, so that no other run's or user's file shares it.
std::string NewRunToken();
bool IsRunToken(std::string_view text);
// The names of file `number` of a set: short whatever the destination's name, so that they
// are legal wherever the destination's name is.
std::string TemporaryName(std::string_view token, std::size_t number);
std::string BackupName(std::string_view token, std::size_t number);
std::string RunLogName(std::string_view token);

// Whether `name` names a file of one folder by itself: not empty, not "." or "..", no folder
// separator and no NUL.
bool IsSingleName(std::string_view name);

// Where a file is: the volume and the file's number on it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
inline FileIdentity IdentityOf(const platform::FileStatus& status) {
  return {status.device, status.inode};
}

// One file of a set as its log names it.
struct LoggedFile {
  std::string name;                 // the destination's name in the log's folder
  FileIdentity temporary;           // the temporary file, so the new file once renamed
  std::optional<FileIdentity> old;  // the file it replaces, kept as the backup
};

// What a log says: the files, and how far the replacement got.
struct LoggedRun {
  std::vector<LoggedFile> files;
  bool replacing = false;  // every identity is recorded and renames may have begun
  bool done = false;       // every rename is done
};

// The records, each one line.
std::string RunLogHeader(std::string_view token);
// A file about to be staged.
std::string StagedRecord(std::string_view name);
// The identities of every file and the "replacing" mark, written at once.
std::string ReplacingRecords(const std::vector<LoggedFile>& files);
// Every rename is done.
inline constexpr std::string_view kDoneRecord = "C\n";

// Parses the log of the set named by `token`. Empty, with `problem` set, when the text is not
// such a log or names anything but single names. A record cut short by a kill ends the log.
std::optional<LoggedRun> ParseRunLog(std::string_view text, std::string_view token,
                                     std::string& problem);

// Puts back what file `number` of a set replaced, in `folder`: its backup over the
// destination, or, when there was no old file, removes the new one if the destination still
// is the file the set wrote. Removes the temporary file. Returns how many files it removed.
// Throws Error when the old file cannot be put back.
std::size_t PutBack(const platform::Folder& folder, std::string_view token, std::size_t number,
                    const LoggedFile& file);

// What a sweep did.
struct Sweep {
  std::size_t removed = 0;            // files removed, logs included
  std::vector<std::string> warnings;  // logs left alone, and why
};

// Finishes what runs that ended early (killed, or the machine went down) left in `folder`:
// for each run log of this user that no live run holds, puts the old files back (or, when
// the replacement was complete, removes the backups) and removes the run's temporary files
// and the log. Throws Error when an old file cannot be put back, since writing over a
// half-undone folder would mix old and new; the log then stays for a later try. A missing
// folder is no error.
Sweep SweepFolder(const platform::Folder& folder);
Sweep RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace durvane
