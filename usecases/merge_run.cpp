#include "usecases/merge_run.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>
#include <vector>

#include "core/file_window.h"
#include "core/input_file.h"
#include "core/platform.h"
#include "merge/index_shift.h"
#include "merge/merge_chain.h"
#include "merge/merge_plan.h"
#include "opt/opt_signature.h"
#include "prj/prj_layout_reader.h"

namespace durvane::merge {
namespace {

using prj::IndexReads;
using prj::kMaxFF02RecordBytes;
using prj::PrjBlock;
using prj::PrjBlockKind;
using prj::PrjLayout;
using prj::ReadPrjLayout;

// Runs `step`, turning any Error it throws into a MergeFileError about `file`.
template <typename Step>
auto AboutFile(const std::filesystem::path& file, Step step) {
  try {
    return step();
  } catch (const MergeFileError&) {
    throw;
  } catch (const Error& e) {
    throw MergeFileError(file, e.what());
  }
}

// The bytes moved per read and write: small enough to stay in the processor's cache, and
// larger than any record, so that every piece holds at least one.
constexpr std::size_t kCopyBytes = std::size_t{256} << 10;
static_assert(kCopyBytes >= prj::kMaxFF02RecordBytes);

// Copies the records of `block` from `file` into `out` from offset `out_at` on, raising their
// top-level indices by `*shift` unless `shift` is null. The records
// were validated when the layout was read; a piece that no longer splits into records means
// another program changed the file since. Throws MergeFileError about `file` when reading it
// fails, ShiftOverflowError, and Error when writing fails.
void CopyRecords(const InputFile& file, const PrjBlock& block, PrjBlockKind kind,
                 const std::int32_t* shift, std::span<std::byte> buffer, StagedFile& out,
                 std::uint64_t out_at) {
  std::uint64_t at = block.records_offset;
  while (at < block.end) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), block.end - at));
    const std::span<std::byte> piece = buffer.first(size);
    AboutFile(file.path(), [&] { file.ReadExactly(at, piece); });
    std::uint64_t used = size;
    if (shift) {
      try {
        used = ShiftRecords(piece, kind, *shift, at + size == block.end);
      } catch (const FormatError&) {
        used = 0;
      }
    }
    if (used == 0) AboutFile(file.path(), [&] { file.ThrowChanged(); });
    out.WriteAt(out_at, piece.first(used));
    at += used;
    out_at += used;
  }
}

// Files together at least this large are merged on two threads; smaller ones are done sooner
// than a thread starts.
constexpr std::uint64_t kSideBySideBytes = std::uint64_t{4} << 20;

// Runs `step(i)` for every file i from 0 to count - 1: on two threads, each taking the next
// file not yet taken, when `side_by_side`, else one after the other. Returns when all have
// ended. Of the exceptions thrown, the one of the lowest file is rethrown, so that a run
// reports the same error however the steps overlap.
template <typename Step>
void ForEachFile(std::size_t count, bool side_by_side, Step step) {
  std::vector<std::exception_ptr> errors(count);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      try {
        step(i);
      } catch (...) {
        errors[i] = std::current_exception();
      }
    }
  };
  {
    std::optional<std::jthread> other;
    if (side_by_side && count > 1) other.emplace(work);
    work();
  }
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

// The start of what is said about a file whose layout is not a PRJ file's: an OPT file given
// by mistake is named as one first.
std::string NotAPrjFile(const InputFile& file) {
  std::vector<std::byte> head(
      static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), std::uint64_t{64} << 10)));
  try {
    head.resize(file.ReadSome(0, head));
  } catch (const Error&) {
    head.clear();
  }
  return opt::LooksLikeOpt(head, file.size())
             ? "not a PRJ file: it looks like an OPT file, which 'durvane convert' turns into "
               "one; "
             : "not a valid PRJ file: ";
}

// Walks the layout of `file` for the merge. Throws MergeFileError about it.
PrjLayout ReadMergeLayout(const InputFile& file) {
  try {
    return ReadPrjLayout(FileWindow(file), IndexReads::kStructureOnly);
  } catch (const Error& e) {
    throw MergeFileError(file.path(), NotAPrjFile(file) + e.what());
  }
}

}  // namespace

MergeFileError::MergeFileError(std::filesystem::path file, const std::string& detail)
    : Error("'" + platform::PathBytes(file) + "': " + detail),
      file_(std::move(file)),
      detail_(detail) {}

MergeResult MergePrjFiles(const std::filesystem::path& first,
                          std::span<const std::filesystem::path> others, Durability durability,
                          const LockWait& lock_wait, const std::filesystem::path& backup) {
  if (!backup.empty() && OutputTarget(backup) == OutputTarget(first)) {
    throw MergeFileError(
        first, "the backup name '" + platform::PathBytes(backup) + "' leads to this file itself");
  }
  const WriterLock lock = AboutFile(first, [&] { return WriterLock(first, lock_wait); });
  // A killed merge into `first` is undone before `first` is read, not after.
  std::vector<std::string> sweep_warnings;
  AboutFile(first, [&] {
    sweep_warnings = RemoveStaleTemporaries(OutputTarget(first).parent_path()).warnings;
  });
  // Every file is read piece by piece through small buffers, so that no file is ever held
  // whole in memory: first their layouts are walked (which reads the section headers and the
  // FF02 records), then their records are copied into the merged file. Each step handles the
  // files side by side, on two threads. A file named twice is simply read twice. A file
  // another program changes meanwhile is refused before the merged file replaces `first`.
  std::vector<std::filesystem::path> paths{first};
  paths.insert(paths.end(), others.begin(), others.end());
  std::vector<std::optional<InputFile>> inputs(paths.size());
  std::uint64_t total_bytes = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    AboutFile(paths[i], [&] { inputs[i].emplace(paths[i]); });
    total_bytes += inputs[i]->size();
  }
  const bool side_by_side = total_bytes >= kSideBySideBytes;
  std::vector<PrjLayout> layouts(paths.size());
  ForEachFile(paths.size(), side_by_side,
              [&](std::size_t i) { layouts[i] = ReadMergeLayout(*inputs[i]); });
  auto cannot_merge = [&](std::size_t i) {
    return "cannot merge '" + platform::PathBytes(paths[i]) + "' into it: ";
  };
  MergeChainPlan plan;
  try {
    plan = PlanMergeChain(layouts);
  } catch (const MergeChainError& e) {
    throw MergeFileError(first, cannot_merge(e.file()) + e.what());
  }

  // The validating walks read the indices only where the plan needs them; the copy checks
  // every other index of the later files as it shifts them, before anything replaces `first`.
  AboutFile(first, [&] {
    StagedFiles files(durability);
    StagedFile& out = files.Open(first);
    out.Reserve(plan.merged_size);
    // Larger than any record, and no larger than the files need.
    const auto buffer_bytes = static_cast<std::size_t>(std::min<std::uint64_t>(
        kCopyBytes, std::max<std::uint64_t>(kMaxFF02RecordBytes, plan.merged_size)));
    ForEachFile(paths.size(), side_by_side, [&](std::size_t file) {
      std::vector<std::byte> buffer(buffer_bytes);
      // The first file's records are copied as they are.
      const std::int32_t* shift = file == 0 ? nullptr : &plan.shifts[file];
      for (const MergeChainPlan::Block& block : plan.blocks) {
        if (file == 0) out.WriteAt(block.header_at, block.header);
        for (const MergeChainPlan::Source& source : block.sources) {
          if (source.file != file) continue;
          try {
            CopyRecords(*inputs[file], *source.block, block.kind, shift, buffer, out,
                        source.records_at);
          } catch (const ShiftOverflowError& e) {
            throw MergeFileError(first, cannot_merge(file) + e.what());
          }
        }
      }
    });
    if (!backup.empty()) {
      // The first file as it is now: the same bytes the merge read, checked below like them.
      CopyWholeFile(*inputs.front(), files.Open(backup));
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
      AboutFile(paths[i], [&] { inputs[i]->CheckUnchanged(); });
    }
    // Closed before `first` is replaced: Windows renames nothing over a file held open.
    inputs.clear();
    files.Commit();
  });

  MergeResult result;
  result.warnings = std::move(sweep_warnings);
  result.warnings.insert(result.warnings.end(), plan.warnings.begin(), plan.warnings.end());
  result.index_shifts.assign(plan.shifts.begin() + 1, plan.shifts.end());
  result.polygon_count = plan.polygon_count;
  result.first_polygon_count = layouts.front().polygon_count();
  result.bytes_written = plan.merged_size;
  if (!backup.empty()) {
    result.backup =
        MergeBackup{first, backup, AboutFile(first, [&] { return StatusForBackup(first); }),
                    AboutFile(first, [&] { return StatusForBackup(backup); })};
  }
  return result;
}

}  // namespace durvane::merge
