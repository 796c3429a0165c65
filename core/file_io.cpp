#include "core/file_io.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "core/error.h"
#include "core/input_file.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"

namespace durvane {
namespace {

// The file a destination names: the end of the chain of symbolic links at its name, which
// may not exist yet (a dangling link names the file to create).
std::filesystem::path ResolveLink(const std::filesystem::path& destination) {
  std::filesystem::path path = destination;
  std::error_code ec;
  // As many links as the system itself follows in one path.
  for (int hops = 0; hops < 40; ++hops) {
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) ThrowSystemError("write", destination, ec);
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  ThrowSystemError("write", destination,
                   std::make_error_code(std::errc::too_many_symbolic_link_levels));
}

// Files at least this large that replace another get their disk space reserved before they
// are written.
constexpr std::uint64_t kReserveBytes = std::uint64_t{1} << 20;

// Pieces at least this large are sent to disk as soon as they are written.
constexpr std::size_t kEarlyWritebackBytes = std::size_t{128} << 10;

}  // namespace

namespace {

CommitStepObserver& Observer() {
  static CommitStepObserver observer;
  return observer;
}

void Observe(CommitStep step, std::size_t number) {
  if (Observer()) Observer()(step, number);
}

// Backups of replaced files are named like temporary files, with this suffix.
constexpr const char* kBackupSuffix = ".durvane-old-";
constexpr const char* kRunLogHeader = "durvane run log 1 ";
constexpr std::size_t kTokenDigits = 16;
// A run log is a few hundred bytes per file; anything larger is not one.
constexpr std::uint64_t kMaxRunLogBytes = std::uint64_t{256} << 20;

// A random token that names one set's files, so that no other run's or user's file shares it.
std::string NewToken() {
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

bool IsToken(std::string_view text) {
  return text.size() == kTokenDigits && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// One file as a run log names it.
struct LoggedFile {
  std::filesystem::path destination;
  std::filesystem::path temporary;
  std::filesystem::path backup;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;  // of the temporary file, so of the new file once renamed
};

// What a run log says: the files and how far the replacement got.
struct LoggedRun {
  std::vector<LoggedFile> files;
  bool replacing = false;
  bool done = false;
};

// Record "T <len>:<destination> <len>:<temporary> <len>:<backup>\n": a file about to be staged.
std::string StagedRecord(const LoggedFile& file) {
  std::string record = "T";
  for (const std::filesystem::path* p : {&file.destination, &file.temporary, &file.backup}) {
    const std::string bytes = platform::PathBytes(*p);
    record += " " + std::to_string(bytes.size()) + ":" + bytes;
  }
  return record + "\n";
}

// Reads the records of a run log, every read bounds-checked. A record cut short by a kill
// ends the log.
class RunLogReader {
 public:
  explicit RunLogReader(std::string_view text) : text_(text) {}
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
  bool Field(std::filesystem::path& path) {
    std::uint64_t size = 0;
    if (!Take(' ') || !Number(size) || !Take(':') || size > text_.size() - at_) return false;
    path = platform::PathFromBytes(std::string(text_.substr(at_, static_cast<std::size_t>(size))));
    at_ += static_cast<std::size_t>(size);
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool NameHolds(const std::filesystem::path& path, const std::string& mark) {
  return platform::PathBytes(path.filename()).find(mark) != std::string::npos;
}

// Parses a run log of the set named by `token`. Empty when the text is not such a log, or
// names a file whose name does not carry the token: such files are not the run's to remove.
std::optional<LoggedRun> ParseRunLog(std::string_view text, const std::string& token) {
  const std::string header = kRunLogHeader + token + "\n";
  if (!text.starts_with(header)) return std::nullopt;
  RunLogReader reader(text.substr(header.size()));
  LoggedRun run;
  std::size_t inodes = 0;
  while (!reader.AtEnd()) {
    if (reader.Take('T')) {
      LoggedFile file;
      if (!reader.Field(file.destination) || !reader.Field(file.temporary) ||
          !reader.Field(file.backup) || !reader.Take('\n')) {
        break;
      }
      if (!NameHolds(file.temporary, kTemporarySuffix + token) ||
          !NameHolds(file.backup, kBackupSuffix + token)) {
        return std::nullopt;
      }
      run.files.push_back(std::move(file));
    } else if (reader.Take('I')) {
      std::uint64_t device = 0, inode = 0;
      if (!reader.Take(' ') || !reader.Number(device) || !reader.Take(' ') ||
          !reader.Number(inode) || !reader.Take('\n') || inodes >= run.files.size()) {
        break;
      }
      run.files[inodes].device = device;
      run.files[inodes++].inode = inode;
    } else if (reader.Take('B') && reader.Take('\n')) {
      // The inode records and this mark are written at once: all of them or none.
      if (inodes != run.files.size()) return std::nullopt;
      run.replacing = true;
    } else if (reader.Take('C') && reader.Take('\n')) {
      run.done = run.replacing;
    } else {
      break;
    }
  }
  return run;
}

// Removes a file if it is there; true when it was.
bool RemoveIfThere(const std::filesystem::path& path) {
  return !platform::Remove(path);
}

platform::FileStatus StatusOrMissing(const std::filesystem::path& path) {
  std::error_code ignored;
  return platform::PathStatus(path, false, ignored);
}

// Puts back what `file` replaced: its backup over the destination, or, when there was no old
// file, removes the new one (only if the destination still is the file this run wrote).
// Throws Error when the old file cannot be put back.
std::size_t PutBack(const LoggedFile& file) {
  std::size_t removed = 0;
  std::error_code error;
  if (platform::PathStatus(file.backup, false, error).kind != platform::FileKind::kMissing) {
    if (const std::error_code failed = platform::Rename(file.backup, file.destination)) {
      ThrowSystemError("put back the old file", file.destination, failed);
    }
    // The backup stays when it already was the destination (a link made, no rename done).
    removed += RemoveIfThere(file.backup);
  } else if (StatusOrMissing(file.temporary).kind == platform::FileKind::kMissing) {
    const platform::FileStatus now = StatusOrMissing(file.destination);
    if (now.kind != platform::FileKind::kMissing && now.device == file.device &&
        now.inode == file.inode) {
      if (const std::error_code failed = platform::Remove(file.destination)) {
        ThrowSystemError("remove the new file", file.destination, failed);
      }
      ++removed;
    }
  }
  return removed + RemoveIfThere(file.temporary);
}

// Brings the files of a run that ended early back to a whole state. Returns how many files
// it removed.
std::size_t Recover(const LoggedRun& run) {
  std::size_t removed = 0;
  if (run.replacing && !run.done) {
    for (auto it = run.files.rbegin(); it != run.files.rend(); ++it) removed += PutBack(*it);
    return removed;
  }
  for (const LoggedFile& file : run.files) {
    removed += RemoveIfThere(file.temporary);
    if (run.done) removed += RemoveIfThere(file.backup);
  }
  return removed;
}

}  // namespace

namespace {

std::atomic<bool> unnamed_allowed{true};

// An unnamed file in `folder` for writing, or a closed one where the file system or the
// system cannot make one (or cannot name it later): the caller then makes a named file.
platform::File OpenUnnamed(const std::filesystem::path& folder) {
  if (!unnamed_allowed) return {};
  return platform::CreateUnnamed(folder);
}

}  // namespace

void AllowUnnamedTemporaries(bool allow) {
  unnamed_allowed = allow;
}

bool TakesUnnamedTemporaries(const std::filesystem::path& folder) {
  return OpenUnnamed(folder).is_open();
}

void SetCommitStepObserver(CommitStepObserver observer) {
  Observer() = std::move(observer);
}

std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder) {
  const std::filesystem::path dir = folder.empty() ? "." : folder;
  std::size_t removed = 0;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = platform::PathBytes(it->path().filename());
    const std::string_view prefix = kRunLogPrefix;
    if (!name.starts_with(prefix) || !IsToken(std::string_view(name).substr(prefix.size()))) {
      continue;
    }
    std::error_code error;
    const platform::File log = platform::OpenForReading(it->path(), error, false);
    if (error) continue;
    const platform::FileStatus st = platform::Status(log, error);
    if (error || st.kind != platform::FileKind::kRegular || st.size > kMaxRunLogBytes) continue;
    // The run that wrote the log holds this lock for as long as it lives; a log nobody holds
    // is a dead run's. Where the file system cannot lock, nothing can be proved dead.
    platform::FileLock lock;
    if (platform::TakeLock(log, lock, false)) continue;
    std::string text(static_cast<std::size_t>(st.size), '\0');
    text.resize(platform::ReadAt(log, 0, std::as_writable_bytes(std::span(text)), error));
    if (error) continue;
    const std::optional<LoggedRun> run =
        ParseRunLog(text, name.substr(std::string_view(kRunLogPrefix).size()));
    if (!run) continue;
    try {
      removed += Recover(*run);
    } catch (const Error& e) {
      throw Error(std::string(e.what()) + ", which an interrupted durvane run replaced (see '" +
                  platform::PathBytes(it->path()) + "')");
    }
    removed += RemoveIfThere(it->path());
  }
  return removed;
}

void StagedFile::Reserve(std::uint64_t size) {
  // New files and small ones are not waited for at the rename, and a synced file's blocks are
  // placed by its flush: reserving them first would only add the work of marking them written.
  if (!kept_.replacing || size < kReserveBytes || durability_ == Durability::kSync) return;
  if (const std::error_code error = platform::Reserve(file_, size)) {
    ThrowSystemError("write", destination_, error);
  }
}

void StagedFile::WriteAt(std::uint64_t offset, std::span<const std::byte> data) {
  if (const std::error_code error = platform::WriteAt(file_, offset, data)) {
    ThrowSystemError("write", destination_, error);
  }
  // Starts writing these bytes to disk now, while the rest of the file is made, so that the
  // flush before Commit's rename has little left to wait for. Only a hint: Commit still
  // flushes everything.
  if (durability_ == Durability::kSync && data.size() >= kEarlyWritebackBytes) {
    platform::StartWriteBack(file_, offset, data.size());
  }
}

void StagedFile::Close() {
  if (!file_.is_open()) return;
  platform::File file = std::move(file_);
  if (kept_.replacing) {
    if (const std::error_code error =
            platform::KeepOwnerAndMode(file, kept_.owner, kept_.group, kept_.mode)) {
      ThrowSystemError("write", destination_, error);
    }
  }
  if (name_) std::exchange(name_, {})(file);
  // The flush to disk waits until Commit, so that the disk writes all the set's files at once
  // rather than one after another; here they are only started.
  if (durability_ == Durability::kSync) platform::StartWriteBack(file, 0, 0);
  if (const std::error_code error = file.Close()) ThrowSystemError("write", destination_, error);
}

// The set's run log: created with the set's first file, locked while the set lives.
class StagedFiles::RunLog {
 public:
  // A failure to create the log is reported as one to write `first_destination`.
  RunLog(std::filesystem::path path, const std::string& token, Durability durability,
         const std::filesystem::path& first_destination)
      : path_(std::move(path)), durability_(durability) {
    // Where it can, the log is made unnamed, locked and given its header before it is named,
    // so that no other run's sweep ever finds it without them.
    file_ = OpenUnnamed(path_.parent_path());
    const bool unnamed = file_.is_open();
    std::error_code error;
    if (!unnamed) file_ = CreateTrackedFile(path_, error);
    if (error) ThrowSystemError("write", first_destination, error);
    try {
      // Cannot be held by anyone else yet; file systems without locks keep the log to the end.
      static_cast<void>(platform::TakeLock(file_, lock_, false));
      Append(kRunLogHeader + token + "\n");
      if (unnamed) {
        if (const std::error_code failed = LinkTrackedFile(file_, path_)) {
          ThrowSystemError("write", first_destination, failed);
        }
      }
    } catch (...) {
      file_.Close();
      if (!unnamed) platform::Remove(path_);
      UntrackFile(path_);
      throw;
    }
  }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog() = default;

  void Append(const std::string& record) {
    if (const std::error_code error =
            platform::WriteAt(file_, size_, std::as_bytes(std::span(record)))) {
      ThrowSystemError("write", path_, error);
    }
    size_ += record.size();
  }
  // Flushes the log, and the name it was created under, to disk.
  void Sync() {
    if (durability_ == Durability::kNoSync) return;
    if (const std::error_code error = platform::Flush(file_)) {
      ThrowSystemError("write", path_, error);
    }
    if (!synced_folder_) platform::FlushFolder(path_.parent_path());
    synced_folder_ = true;
  }
  // Removes the log: the set is whole. Closed first: Windows removes no open file.
  void Remove() {
    file_.Close();
    platform::Remove(path_);
    UntrackFile(path_);
  }
  // Leaves the log for the next run, which finishes what this one could not.
  void Keep() { UntrackFile(path_); }

 private:
  std::filesystem::path path_;
  Durability durability_;
  platform::File file_;
  platform::FileLock lock_;
  std::uint64_t size_ = 0;
  bool synced_folder_ = false;
};

StagedFiles::StagedFiles(Durability durability) : durability_(durability), token_(NewToken()) {}

StagedFiles::~StagedFiles() {
  Abandon();
}

void StagedFiles::Abandon() noexcept {
  for (const Entry& e : entries_) {
    if (e.file) e.file->Abandon();
    platform::Remove(e.temporary);
    UntrackFile(e.temporary);
  }
  entries_.clear();
  if (log_) log_->Remove();
  log_.reset();
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
  std::filesystem::path home = destination.parent_path();
  if (home.empty()) home = ".";
  // What killed earlier runs left here is put right before anything else is written.
  if (std::find(swept_folders_.begin(), swept_folders_.end(), home) == swept_folders_.end()) {
    RemoveStaleTemporaries(home);
    swept_folders_.push_back(home);
  }

  const std::filesystem::path target = std::filesystem::absolute(ResolveLink(destination));
  std::error_code error;
  const platform::FileStatus old = platform::PathStatus(target, true, error);
  const bool replacing = old.kind != platform::FileKind::kMissing;
  if (old.kind == platform::FileKind::kDirectory) {
    ThrowFileError("write", destination, "it is a directory");
  }
  const std::string number = std::to_string(entries_.size());
  const std::string name = "." + platform::PathBytes(target.filename());
  const std::filesystem::path dir = target.parent_path();
  const LoggedFile logged{
      target, dir / platform::PathFromBytes(name + kTemporarySuffix + token_ + "-" + number),
      dir / platform::PathFromBytes(name + kBackupSuffix + token_ + "-" + number)};
  // A temporary file is listed in the log before it has a name, so that no temporary file is
  // ever unknown to the log: an unnamed one when it is complete, a named one before it exists.
  StagedFile::Namer namer;
  platform::File file = OpenUnnamed(dir);
  if (file.is_open()) {
    namer = [this, home, destination, logged](const platform::File& unnamed) {
      LogStaged(home, destination, StagedRecord(logged));
      if (const std::error_code failed = LinkTrackedFile(unnamed, logged.temporary)) {
        ThrowSystemError("write", destination, failed);
      }
    };
  } else {
    LogStaged(home, destination, StagedRecord(logged));
    file = CreateTrackedFile(logged.temporary, error);
    if (error) ThrowSystemError("write", destination, error);
  }
  const platform::FileStatus created = platform::Status(file, error);
  if (error) ThrowSystemError("write", destination, error);
  StagedFile::Kept kept;
  if (replacing) kept = {true, old.owner, old.group, old.mode};
  entries_.push_back({logged.temporary, logged.backup, target, destination, created.device,
                      created.inode,
                      std::make_unique<StagedFile>(std::move(file), destination, durability_, kept,
                                                   std::move(namer))});
  return *entries_.back().file;
}

void StagedFiles::LogStaged(const std::filesystem::path& home,
                            const std::filesystem::path& destination, const std::string& record) {
  if (!log_) {
    log_ = std::make_unique<RunLog>(std::filesystem::absolute(home) / (kRunLogPrefix + token_),
                                    token_, durability_, destination);
  }
  log_->Append(record);
}

void StagedFiles::Commit() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].file->Close();
    Observe(CommitStep::kStaged, i);
  }
  // Every file is on disk before any of them replaces its destination.
  if (durability_ == Durability::kSync) {
    for (const Entry& e : entries_) {
      if (const std::error_code error = platform::FlushPath(e.temporary)) {
        ThrowSystemError("write", e.shown, error);
      }
    }
  }
  if (!entries_.empty()) Replace();
  entries_.clear();
  log_.reset();
}

namespace {

// Keeps the old file under the backup name: a second name for it, so that the destination is
// never missing; where the file system has no hard links, the old file is moved there.
void KeepOldFile(const std::filesystem::path& destination, const std::filesystem::path& backup,
                 const std::filesystem::path& shown) {
  const std::error_code linked = platform::HardLink(destination, backup);
  if (!linked || linked == std::errc::no_such_file_or_directory) return;
  const std::error_code renamed = platform::Rename(destination, backup);
  if (renamed && renamed != std::errc::no_such_file_or_directory) {
    ThrowSystemError("replace", shown, renamed);
  }
}

}  // namespace

void StagedFiles::Replace() {
  std::string record;
  for (const Entry& e : entries_) {
    record += "I " + std::to_string(e.device) + " " + std::to_string(e.inode) + "\n";
  }
  record += "B\n";
  const ReplacePhase phase;
  log_->Append(record);
  log_->Sync();
  const std::size_t count = entries_.size();
  try {
    for (std::size_t i = 0; i < count; ++i) {
      Observe(CommitStep::kReplace, i);
      const Entry& e = entries_[i];
      KeepOldFile(e.destination, e.backup, e.shown);
      if (const std::error_code error = platform::Rename(e.temporary, e.destination)) {
        ThrowSystemError("replace", e.shown, error);
      }
    }
    Observe(CommitStep::kReplace, count);
    if (durability_ == Durability::kSync) {
      std::vector<std::filesystem::path> folders;
      for (const Entry& e : entries_) {
        const std::filesystem::path folder = e.destination.parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
          folders.push_back(folder);
          platform::FlushFolder(folder);
        }
      }
    }
    log_->Append("C\n");
    log_->Sync();
  } catch (...) {
    // Back to the old files, newest first, so that a destination named twice ends as it was.
    try {
      for (std::size_t i = count; i-- > 0;) {
        const Entry& e = entries_[i];
        PutBack({e.destination, e.temporary, e.backup, e.device, e.inode});
      }
    } catch (const Error& e) {
      for (const Entry& entry : entries_) UntrackFile(entry.temporary);
      entries_.clear();
      log_->Keep();
      log_.reset();
      throw Error(std::string(e.what()) +
                  " after a failed replace; the next run in this folder tries again");
    }
    throw;  // Abandon removes the temporary files and the log
  }
  Observe(CommitStep::kReplace, count + 1);
  for (const Entry& e : entries_) {
    platform::Remove(e.backup);
    UntrackFile(e.temporary);
  }
  entries_.clear();
  log_->Remove();
  log_.reset();
}

std::vector<std::filesystem::path> StagedFiles::destinations() const {
  std::vector<std::filesystem::path> out;
  for (const Entry& e : entries_) out.push_back(e.shown);
  return out;
}

void WriteFileAtomically(const std::filesystem::path& destination, ByteSpans pieces,
                         Durability durability) {
  StagedFiles files(durability);
  files.Stage(destination, pieces);
  files.Commit();
}

}  // namespace durvane
