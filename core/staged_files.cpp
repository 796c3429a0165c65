#include "core/staged_files.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <optional>
#include <utility>

#include "core/error.h"
#include "core/interrupt_cleanup.h"
#include "core/printable_text.h"

namespace durvane {
namespace {

// Files at least this large that replace another get their disk space reserved before they
// are written.
constexpr std::uint64_t kReserveBytes = std::uint64_t{1} << 20;

// Pieces at least this large are sent to disk as soon as they are written.
constexpr std::size_t kEarlyWritebackBytes = std::size_t{128} << 10;

// Permission bits of new output files (less the umask), and of run logs: only their own
// user may write a log, and only such a log is ever acted on.
constexpr unsigned kNewFileMode = 0666;
constexpr unsigned kRunLogMode = 0600;

// No file of a set has this place in its folder's log until it has its temporary name.
constexpr std::size_t kUnnamed = std::numeric_limits<std::size_t>::max();

CommitStepObserver& Observer() {
  static CommitStepObserver observer;
  return observer;
}

void Observe(CommitStep step, std::size_t number) {
  if (Observer()) Observer()(step, number);
}

std::atomic<bool> unnamed_allowed{true};

// An unnamed file in `folder` for writing, or a closed one where the file system or the
// system cannot make one (or cannot name it later): the caller then makes a named file.
platform::File OpenUnnamed(const platform::Folder& folder, unsigned mode) {
  if (!unnamed_allowed) return {};
  return folder.CreateUnnamed(mode);
}

// Whether other users may plant files in the folder whose status is `folder`.
bool OthersMayWrite(const platform::FileStatus& folder) {
  return platform::kFilesHaveOwners &&
         (folder.mode & (platform::kStickyBit | platform::kWritableByOthers)) != 0;
}

// Why a file of kind `kind` cannot be replaced, or empty when it can.
std::string NotReplaceable(platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::kMissing:
    case platform::FileKind::kRegular:
      return {};
    case platform::FileKind::kDirectory:
      return "it is a directory";
    case platform::FileKind::kFifo:
      return "it is a FIFO, not a regular file";
    case platform::FileKind::kSocket:
      return "it is a socket, not a regular file";
    case platform::FileKind::kDevice:
      return "it is a device, not a regular file";
    case platform::FileKind::kOther:
      break;
  }
  return "it is not a regular file";
}

std::filesystem::path Named(const std::string& bytes) {
  return platform::PathFromBytes(bytes);
}

// Keeps the old file under the backup name: a second name for it, so that the destination is
// never missing; where the file system has no hard links, the old file is moved there.
void KeepOldFile(const platform::Folder& folder, const std::filesystem::path& name,
                 const std::filesystem::path& backup, const std::filesystem::path& shown) {
  const std::error_code linked = folder.HardLink(name, backup);
  if (!linked || linked == std::errc::no_such_file_or_directory) return;
  const std::error_code renamed = folder.Rename(name, backup);
  if (renamed && renamed != std::errc::no_such_file_or_directory) {
    ThrowSystemError("replace", shown, renamed);
  }
}

}  // namespace

void AllowUnnamedTemporaries(bool allow) {
  unnamed_allowed = allow;
}

bool TakesUnnamedTemporaries(const std::filesystem::path& folder) {
  std::error_code error;
  const platform::Folder open = platform::Folder::Open(folder, error);
  return !error && OpenUnnamed(open, kNewFileMode).is_open();
}

void SetCommitStepObserver(CommitStepObserver observer) {
  Observer() = std::move(observer);
}

std::filesystem::path OutputTarget(const std::filesystem::path& destination) {
  std::filesystem::path path = destination;
  std::error_code ec;
  // As many links as the system itself follows in one path.
  for (int hops = 0; hops < 40; ++hops) {
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    const std::filesystem::path folder =
        path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    // Another user's link in a folder anyone may write to is refused, as the kernel refuses
    // to follow one there: it could lead this user's write to any file.
    const platform::FileStatus link = platform::PathStatus(path, false, ec);
    if (ec) ThrowSystemError("write", destination, ec);
    const platform::FileStatus home = platform::PathStatus(folder, true, ec);
    if (ec) ThrowSystemError("write", destination, ec);
    if (OthersMayWrite(home) && link.owner != platform::CurrentUser() && link.owner != home.owner) {
      ThrowFileError(
          "write", destination,
          (path == destination ? std::string("it is")
                               : "the link '" + PrintableText(platform::PathBytes(path)) +
                                     "' on the way to it is") +
              " a symbolic link that another user made in a folder others can write "
              "to; durvane does not follow such links");
    }
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) ThrowSystemError("write", destination, ec);
    path = target.is_absolute() ? target : folder / target;
  }
  ThrowSystemError("write", destination,
                   std::make_error_code(std::errc::too_many_symbolic_link_levels));
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

namespace {

// A folder's run log: created with the set's first file there, locked while the set lives.
class RunLog {
 public:
  // A failure to create the log is reported as one to write `first_destination`.
  RunLog(std::shared_ptr<const platform::Folder> folder, std::string_view token,
         Durability durability, const std::filesystem::path& first_destination)
      : folder_(std::move(folder)), name_(Named(RunLogName(token))), durability_(durability) {
    // Where it can, the log is made unnamed, locked and given its header before it is named,
    // so that no other run's sweep ever finds it without them.
    file_ = OpenUnnamed(*folder_, kRunLogMode);
    const bool unnamed = file_.is_open();
    std::error_code error;
    if (!unnamed) file_ = CreateTrackedFile(folder_, name_, kRunLogMode, error);
    if (error) ThrowSystemError("write", first_destination, error);
    try {
      // Cannot be held by anyone else yet; file systems without locks keep the log to the end.
      static_cast<void>(platform::TakeLock(file_, lock_, false));
      Append(RunLogHeader(token));
      if (unnamed) {
        if (const std::error_code failed = LinkTrackedFile(file_, folder_, name_)) {
          ThrowSystemError("write", first_destination, failed);
        }
      }
    } catch (...) {
      file_.Close();
      if (!unnamed) folder_->Remove(name_);
      UntrackFile(*folder_, name_);
      throw;
    }
  }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog() = default;

  void Append(std::string_view record) {
    const std::filesystem::path shown = folder_->path() / name_;
    if (record.size() > kMaxRunLogBytes - size_) {
      ThrowFileError("write", shown, "the run names more files than its log can hold");
    }
    if (const std::error_code error =
            platform::WriteAt(file_, size_, std::as_bytes(std::span(record)))) {
      ThrowSystemError("write", shown, error);
    }
    size_ += record.size();
  }
  // Flushes the log, and the name it was created under, to disk.
  void Sync() {
    if (durability_ == Durability::kNoSync) return;
    if (const std::error_code error = platform::Flush(file_)) {
      ThrowSystemError("write", folder_->path() / name_, error);
    }
    if (!synced_folder_) folder_->Flush();
    synced_folder_ = true;
  }
  // Removes the log: the folder is whole. Closed first: Windows removes no open file.
  void Remove() {
    file_.Close();
    folder_->Remove(name_);
    UntrackFile(*folder_, name_);
  }
  // Leaves the log for the next run, which finishes what this one could not.
  void Keep() { UntrackFile(*folder_, name_); }

 private:
  std::shared_ptr<const platform::Folder> folder_;
  std::filesystem::path name_;
  Durability durability_;
  platform::File file_;
  platform::FileLock lock_;
  std::uint64_t size_ = 0;
  bool synced_folder_ = false;
};

}  // namespace

// A folder whose files the set replaces, held open, with its log and what it lists.
struct StagedFiles::Home {
  std::shared_ptr<const platform::Folder> folder;
  std::optional<RunLog> log;
  std::vector<LoggedFile> files;  // in the log's order
};

struct StagedFiles::Entry {
  Home* home = nullptr;
  std::size_t number = kUnnamed;  // its place in the home's log, once it has its name
  std::filesystem::path name;     // the destination's name in the home
  std::filesystem::path shown;    // the destination as the caller named it
  FileIdentity identity;          // of the temporary file
  std::unique_ptr<StagedFile> file;
};

StagedFiles::StagedFiles(Durability durability) : durability_(durability), token_(NewRunToken()) {}

StagedFiles::~StagedFiles() {
  Abandon();
}

void StagedFiles::Abandon() noexcept {
  for (const auto& e : entries_) {
    if (e->file) e->file->Abandon();
    if (e->number == kUnnamed) continue;
    const std::filesystem::path temporary = Named(TemporaryName(token_, e->number));
    e->home->folder->Remove(temporary);
    UntrackFile(*e->home->folder, temporary);
  }
  entries_.clear();
  for (const auto& home : homes_) {
    if (home->log) home->log->Remove();
    home->log.reset();
  }
}

StagedFiles::Home& StagedFiles::HomeOf(const std::filesystem::path& folder,
                                       const std::filesystem::path& destination) {
  for (const auto& home : homes_) {
    if (home->folder->path() == folder) return *home;
  }
  std::error_code error;
  auto open = std::make_shared<platform::Folder>(platform::Folder::Open(folder, error));
  if (error) ThrowSystemError("write", destination, error);
  // What killed earlier runs left here is put right before anything else is written.
  Sweep sweep = SweepFolder(*open);
  warnings_.insert(warnings_.end(), sweep.warnings.begin(), sweep.warnings.end());
  homes_.push_back(std::make_unique<Home>());
  homes_.back()->folder = std::move(open);
  return *homes_.back();
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
  const std::filesystem::path target = std::filesystem::absolute(OutputTarget(destination));
  Home& home = HomeOf(target.parent_path(), destination);
  std::error_code error;
  const platform::FileStatus old = home.folder->StatusOf(target.filename(), error);
  if (error) ThrowSystemError("write", destination, error);
  if (const std::string why = NotReplaceable(old.kind); !why.empty()) {
    ThrowFileError("write", destination, why);
  }
  entries_.push_back(std::make_unique<Entry>());
  Entry& entry = *entries_.back();
  entry.home = &home;
  entry.name = target.filename();
  entry.shown = destination;

  // A temporary file is listed in the log before it has a name, so that no temporary file is
  // ever unknown to the log: an unnamed one when it is complete, a named one before it exists.
  auto list = [this, &entry] {
    Home& h = *entry.home;
    if (!h.log) h.log.emplace(h.folder, token_, durability_, entry.shown);
    h.log->Append(StagedRecord(platform::PathBytes(entry.name)));
    h.files.push_back({platform::PathBytes(entry.name), entry.identity, std::nullopt});
    entry.number = h.files.size() - 1;
    return Named(TemporaryName(token_, entry.number));
  };
  StagedFile::Namer namer;
  platform::File file = OpenUnnamed(*home.folder, kNewFileMode);
  if (file.is_open()) {
    namer = [&entry, list](const platform::File& unnamed) {
      const std::filesystem::path temporary = list();
      if (const std::error_code failed = LinkTrackedFile(unnamed, entry.home->folder, temporary)) {
        ThrowSystemError("write", entry.shown, failed);
      }
    };
  } else {
    const std::filesystem::path temporary = list();
    file = CreateTrackedFile(home.folder, temporary, kNewFileMode, error);
    if (error) ThrowSystemError("write", destination, error);
  }
  entry.identity = IdentityOf(platform::Status(file, error));
  if (error) ThrowSystemError("write", destination, error);
  if (entry.number != kUnnamed) home.files[entry.number].temporary = entry.identity;
  StagedFile::Kept kept;
  if (old.kind == platform::FileKind::kRegular) kept = {true, old.owner, old.group, old.mode};
  entry.file = std::make_unique<StagedFile>(std::move(file), destination, durability_, kept,
                                            std::move(namer));
  Observe(CommitStep::kOpened, entries_.size() - 1);
  return *entry.file;
}

void StagedFiles::Commit() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i]->file->Close();
    Observe(CommitStep::kStaged, i);
  }
  // Every file is on disk before any of them replaces its destination.
  if (durability_ == Durability::kSync) {
    for (const auto& e : entries_) {
      if (const std::error_code error =
              e->home->folder->FlushFile(Named(TemporaryName(token_, e->number)))) {
        ThrowSystemError("write", e->shown, error);
      }
    }
  }
  if (!entries_.empty()) Replace();
  entries_.clear();
  for (const auto& home : homes_) home->log.reset();
}

void StagedFiles::Replace() {
  // The files about to be replaced, as they are now: a destination named twice replaces the
  // set's own earlier file.
  for (const auto& e : entries_) {
    LoggedFile& logged = e->home->files[e->number];
    logged.temporary = e->identity;
    std::error_code error;
    const platform::FileStatus now = e->home->folder->StatusOf(e->name, error);
    if (error) ThrowSystemError("replace", e->shown, error);
    if (const std::string why = NotReplaceable(now.kind); !why.empty()) {
      ThrowFileError("replace", e->shown, why);
    }
    logged.old.reset();
    if (now.kind == platform::FileKind::kRegular) logged.old = IdentityOf(now);
    for (const auto& earlier : entries_) {
      if (earlier == e) break;
      if (earlier->home == e->home && earlier->name == e->name) logged.old = earlier->identity;
    }
  }
  const ReplacePhase phase;
  for (const auto& home : homes_) {
    if (home->files.empty()) continue;
    home->log->Append(ReplacingRecords(home->files));
    home->log->Sync();
  }
  const std::size_t count = entries_.size();
  try {
    for (std::size_t i = 0; i < count; ++i) {
      Observe(CommitStep::kReplace, i);
      const Entry& e = *entries_[i];
      const platform::Folder& folder = *e.home->folder;
      const std::optional<FileIdentity>& old = e.home->files[e.number].old;
      const std::filesystem::path backup = Named(BackupName(token_, e.number));
      KeepOldFile(folder, e.name, backup, e.shown);
      std::error_code error;
      const platform::FileStatus kept = folder.StatusOf(backup, error);
      if (kept.kind != platform::FileKind::kMissing && (!old || IdentityOf(kept) != *old)) {
        if (!old) folder.Remove(backup);
        ThrowFileError("replace", e.shown, "another program replaced it meanwhile");
      }
      if (const std::error_code failed =
              folder.Rename(Named(TemporaryName(token_, e.number)), e.name)) {
        ThrowSystemError("replace", e.shown, failed);
      }
    }
    Observe(CommitStep::kReplace, count);
    for (const auto& home : homes_) {
      if (home->files.empty()) continue;
      if (durability_ == Durability::kSync) home->folder->Flush();
      home->log->Append(kDoneRecord);
      home->log->Sync();
    }
  } catch (...) {
    // Back to the old files, newest first, so that a destination named twice ends as it was.
    try {
      for (std::size_t i = count; i-- > 0;) {
        const Entry& e = *entries_[i];
        PutBack(*e.home->folder, token_, e.number, e.home->files[e.number]);
      }
    } catch (const Error& failure) {
      for (const auto& e : entries_) {
        UntrackFile(*e->home->folder, Named(TemporaryName(token_, e->number)));
      }
      entries_.clear();
      for (const auto& home : homes_) {
        if (home->log) home->log->Keep();
        home->log.reset();
      }
      throw Error(std::string(failure.what()) +
                  " after a failed replace; the next run in this folder tries again");
    }
    throw;  // Abandon removes the temporary files and the logs
  }
  CountReplacedSet();
  Observe(CommitStep::kReplace, count + 1);
  for (const auto& e : entries_) {
    const platform::Folder& folder = *e->home->folder;
    const std::filesystem::path backup = Named(BackupName(token_, e->number));
    std::error_code error;
    const platform::FileStatus kept = folder.StatusOf(backup, error);
    if (kept.kind == platform::FileKind::kRegular &&
        e->home->files[e->number].old == IdentityOf(kept)) {
      folder.Remove(backup);
    }
    UntrackFile(folder, Named(TemporaryName(token_, e->number)));
  }
  entries_.clear();
  for (const auto& home : homes_) {
    if (home->log) home->log->Remove();
    home->log.reset();
  }
}

std::vector<std::string> WriteFileAtomically(const std::filesystem::path& destination,
                                             ByteSpans pieces, Durability durability) {
  StagedFiles files(durability);
  files.Stage(destination, pieces);
  files.Commit();
  return files.warnings();
}

}  // namespace durvane
