#include "core/run_log.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <exception>
#include <random>

#include "core/error.h"
#include "core/printable_text.h"

namespace durvane {
namespace {

constexpr std::string_view kHeaderStart = "durvane run log 2 ";
constexpr std::size_t kTokenDigits = 16;

// Reads the records of a run log, every read bounds-checked.
class RecordReader {
 public:
  explicit RecordReader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return at_ >= text_.size(); }
  bool Take(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Number(std::uint64_t& value) {
    const char* begin = text_.data() + at_;
    const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), value);
    if (error != std::errc() || end == begin) return false;
    at_ += static_cast<std::size_t>(end - begin);
    return true;
  }
  // " <number>"
  bool Field(std::uint64_t& value) { return Take(' ') && Number(value); }
  // " <length>:<bytes>"
  bool Field(std::string& bytes) {
    std::uint64_t size = 0;
    if (!Field(size) || !Take(':') || size > text_.size() - at_) return false;
    bytes = std::string(text_.substr(at_, static_cast<std::size_t>(size)));
    at_ += static_cast<std::size_t>(size);
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

std::string Numbered(std::string_view prefix, std::string_view token, std::size_t number) {
  return std::string(prefix) + std::string(token) + "-" + std::to_string(number);
}

bool IsRegular(const platform::FileStatus& status) {
  return status.kind == platform::FileKind::kRegular;
}

bool IsMissing(const platform::FileStatus& status) {
  return status.kind == platform::FileKind::kMissing;
}

bool OwnedByUser(const platform::FileStatus& status) {
  return !platform::kFilesHaveOwners || status.owner == platform::CurrentUser();
}

platform::FileStatus StatusIn(const platform::Folder& folder, const std::string& name) {
  std::error_code error;
  platform::FileStatus status = folder.StatusOf(platform::PathFromBytes(name), error);
  // An entry that cannot be looked at counts as one that is not the run's.
  if (error) status.kind = platform::FileKind::kOther;
  return status;
}

bool RemoveIn(const platform::Folder& folder, const std::string& name) {
  return !folder.Remove(platform::PathFromBytes(name));
}

// Why the files a log names are not what its run left, or empty when they are. Checked before
// anything is touched, so that a log that is not wholly this run's changes nothing.
std::string ForeignFile(const platform::Folder& folder, std::string_view token,
                        const LoggedRun& run) {
  for (std::size_t i = 0; i < run.files.size(); ++i) {
    const LoggedFile& file = run.files[i];
    const std::string temporary = TemporaryName(token, i);
    const platform::FileStatus temp = StatusIn(folder, temporary);
    if (!IsMissing(temp) && (!IsRegular(temp) || !OwnedByUser(temp) ||
                             (run.replacing && IdentityOf(temp) != file.temporary))) {
      return "'" + temporary + "' is not the file the run wrote";
    }
    const std::string backup = BackupName(token, i);
    const platform::FileStatus kept = StatusIn(folder, backup);
    if (!IsMissing(kept) &&
        (!run.replacing || !file.old || !IsRegular(kept) || IdentityOf(kept) != *file.old)) {
      return "'" + backup + "' is not the file the run replaced";
    }
  }
  return {};
}

// Brings the files of a run that ended early back to a whole state.
std::size_t Recover(const platform::Folder& folder, std::string_view token, const LoggedRun& run) {
  std::size_t removed = 0;
  if (run.replacing && !run.done) {
    // Newest first, so that a destination named twice ends as it was before the first.
    for (std::size_t i = run.files.size(); i-- > 0;) {
      removed += PutBack(folder, token, i, run.files[i]);
    }
    return removed;
  }
  for (std::size_t i = 0; i < run.files.size(); ++i) {
    removed += RemoveIn(folder, TemporaryName(token, i));
    if (run.done) removed += RemoveIn(folder, BackupName(token, i));
  }
  return removed;
}

// Why the entry `name` cannot be a log of this user's, or empty when it can; opens it as
// `log` then.
std::string CheckLogFile(const platform::Folder& folder, const std::filesystem::path& name,
                         platform::File& log, platform::FileStatus& status) {
  std::error_code error;
  log = folder.OpenForReading(name, error);
  if (error == std::errc::too_many_symbolic_link_levels) return "it is a symbolic link";
  if (error) return platform::ErrorText(error);
  status = platform::Status(log, error);
  if (error) return platform::ErrorText(error);
  if (!IsRegular(status)) return "it is not a regular file";
  if (!OwnedByUser(status)) return "another user owns it";
  if (platform::kFilesHaveOwners && status.mode != 0600) return "its mode is not 0600";
  if (status.links != 1) return "it has more than one name";
  if (status.size > kMaxRunLogBytes) return "it is larger than a run log can be";
  return {};
}

}  // namespace

std::string NewRunToken() {
  std::uint64_t value = 0;
  try {
    std::random_device device;
    value = (std::uint64_t{device()} << 32) ^ device();
  } catch (const std::exception&) {
  }
  // Without a random source the process id, the time and a counter still keep it unique.
  static std::atomic<std::uint64_t> counter{0};
  value ^= (platform::ProcessId() << 40) ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (counter++ * 0x9e3779b97f4a7c15ULL);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token(kTokenDigits, '0');
  for (std::size_t i = 0; i < kTokenDigits; ++i) token[i] = kDigits[(value >> (4 * i)) & 0xf];
  return token;
}

bool IsRunToken(std::string_view text) {
  return text.size() == kTokenDigits && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string TemporaryName(std::string_view token, std::size_t number) {
  return Numbered(kTemporaryPrefix, token, number);
}

std::string BackupName(std::string_view token, std::size_t number) {
  return Numbered(kBackupPrefix, token, number);
}

std::string RunLogName(std::string_view token) {
  return kRunLogPrefix + std::string(token);
}

bool IsSingleName(std::string_view name) {
  constexpr std::string_view kSeparators =
      platform::kFilesHaveOwners ? std::string_view("/", 1) : std::string_view("/\\:");
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(kSeparators) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string RunLogHeader(std::string_view token) {
  return std::string(kHeaderStart) + std::string(token) + "\n";
}

std::string StagedRecord(std::string_view name) {
  return "T " + std::to_string(name.size()) + ":" + std::string(name) + "\n";
}

std::string ReplacingRecords(const std::vector<LoggedFile>& files) {
  std::string records;
  for (const LoggedFile& f : files) {
    records += "I " + std::to_string(f.temporary.device) + " " + std::to_string(f.temporary.inode);
    records += f.old ? " 1 " + std::to_string(f.old->device) + " " + std::to_string(f.old->inode)
                     : std::string(" 0 0 0");
    records += "\n";
  }
  return records + "B\n";
}

std::optional<LoggedRun> ParseRunLog(std::string_view text, std::string_view token,
                                     std::string& problem) {
  const std::string header = RunLogHeader(token);
  if (!text.starts_with(header)) {
    problem = "it does not start as a run log of that name does";
    return std::nullopt;
  }
  RecordReader reader(text.substr(header.size()));
  LoggedRun run;
  std::size_t identities = 0;
  while (!reader.AtEnd()) {
    if (reader.Take('T')) {
      LoggedFile file;
      if (!reader.Field(file.name) || !reader.Take('\n')) break;
      if (!IsSingleName(file.name)) {
        problem = "it names " + PrintableText(file.name) + ", which is not a file of its folder";
        return std::nullopt;
      }
      if (run.replacing) break;
      run.files.push_back(std::move(file));
    } else if (reader.Take('I')) {
      std::uint64_t device = 0, inode = 0, has_old = 0, old_device = 0, old_inode = 0;
      if (!reader.Field(device) || !reader.Field(inode) || !reader.Field(has_old) ||
          !reader.Field(old_device) || !reader.Field(old_inode) || !reader.Take('\n') ||
          has_old > 1 || identities >= run.files.size() || run.replacing) {
        break;
      }
      LoggedFile& file = run.files[identities++];
      file.temporary = {device, inode};
      if (has_old == 1) file.old = FileIdentity{old_device, old_inode};
    } else if (reader.Take('B') && reader.Take('\n')) {
      // The identity records and this mark are written at once: all of them or none.
      if (identities != run.files.size()) {
        problem = "its identity records do not match its files";
        return std::nullopt;
      }
      run.replacing = true;
    } else if (reader.Take('C') && reader.Take('\n')) {
      run.done = run.replacing;
    } else {
      break;
    }
  }
  return run;
}

std::size_t PutBack(const platform::Folder& folder, std::string_view token, std::size_t number,
                    const LoggedFile& file) {
  std::size_t removed = 0;
  const std::string temporary = TemporaryName(token, number);
  const std::string backup = BackupName(token, number);
  const std::filesystem::path destination = platform::PathFromBytes(file.name);
  const platform::FileStatus kept = StatusIn(folder, backup);
  if (file.old && IsRegular(kept) && IdentityOf(kept) == *file.old) {
    if (const std::error_code failed =
            folder.Rename(platform::PathFromBytes(backup), destination)) {
      ThrowSystemError("put back the old file", folder.path() / destination, failed);
    }
    // The backup stays when it already was the destination (a link made, no rename done).
    if (IdentityOf(StatusIn(folder, backup)) == *file.old) removed += RemoveIn(folder, backup);
  } else if (!file.old && IsMissing(StatusIn(folder, temporary))) {
    const platform::FileStatus now = StatusIn(folder, file.name);
    if (IsRegular(now) && IdentityOf(now) == file.temporary && OwnedByUser(now)) {
      if (const std::error_code failed = folder.Remove(destination)) {
        ThrowSystemError("remove the new file", folder.path() / destination, failed);
      }
      ++removed;
    }
  }
  const platform::FileStatus temp = StatusIn(folder, temporary);
  if (IsRegular(temp) && OwnedByUser(temp)) removed += RemoveIn(folder, temporary);
  return removed;
}

Sweep SweepFolder(const platform::Folder& folder) {
  Sweep sweep;
  std::error_code error;
  const std::vector<std::filesystem::path> names = folder.Names(error);
  for (const std::filesystem::path& entry : names) {
    const std::string name = platform::PathBytes(entry);
    const std::string_view prefix = kRunLogPrefix;
    if (!name.starts_with(prefix)) continue;
    const std::string token = name.substr(prefix.size());
    if (!IsRunToken(token)) continue;
    const std::string shown = platform::PathBytes(folder.path() / entry);
    auto leave_alone = [&](const std::string& why) {
      sweep.warnings.push_back("left '" + PrintableText(shown) +
                               "' alone, although it is named like a durvane run log: " + why);
    };
    platform::File log;
    platform::FileStatus status;
    if (const std::string why = CheckLogFile(folder, entry, log, status); !why.empty()) {
      leave_alone(why);
      continue;
    }
    // The run that wrote the log holds this lock for as long as it lives; a log nobody holds
    // is a dead run's. Where the file system cannot lock, nothing can be proved dead.
    platform::FileLock lock;
    if (platform::TakeLock(log, lock, false)) continue;
    std::string text(static_cast<std::size_t>(status.size), '\0');
    text.resize(platform::ReadAt(log, 0, std::as_writable_bytes(std::span(text)), error));
    if (error) {
      leave_alone(platform::ErrorText(error));
      continue;
    }
    std::string problem;
    const std::optional<LoggedRun> run = ParseRunLog(text, token, problem);
    if (!run) {
      leave_alone(problem);
      continue;
    }
    if (const std::string why = ForeignFile(folder, token, *run); !why.empty()) {
      leave_alone(why);
      continue;
    }
    try {
      sweep.removed += Recover(folder, token, *run);
    } catch (const Error& e) {
      throw Error(std::string(e.what()) + ", which an interrupted durvane run replaced (see '" +
                  PrintableText(shown) + "')");
    }
    // Closed first: Windows removes no open file.
    log.Close();
    sweep.removed += RemoveIn(folder, name);
  }
  return sweep;
}

Sweep RemoveStaleTemporaries(const std::filesystem::path& folder) {
  std::error_code error;
  const platform::Folder open = platform::Folder::Open(folder, error);
  if (error) return {};
  return SweepFolder(open);
}

}  // namespace durvane
