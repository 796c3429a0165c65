#include "merge/merge_run.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>
#include <vector>

#include "core/file_window.h"
#include "core/input_file.h"
#include "merge/index_shift.h"
#include "merge/merge_plan.h"
#include "prj/prj_layout_reader.h"

namespace durvane::merge {
namespace {

// Runs `step`, turning any Error it throws into a MergeFileError about `file`.
template <typename Step>
auto AboutFile(const std::filesystem::path& file, const std::string& context, Step step) {
  try {
    return step();
  } catch (const MergeFileError&) {
    throw;
  } catch (const Error& e) {
    throw MergeFileError(file, context + e.what());
  }
}

// The bytes moved per read and write: small enough to stay in the processor's cache, and
// larger than any record, so that every piece holds at least one.
constexpr std::size_t kCopyBytes = std::size_t{256} << 10;
static_assert(kCopyBytes >= prj::kMaxFF02RecordBytes);

// Copies the records of `block` from `file` into `out` from offset `out_at` on, raising their
// top-level indices by `shift` when given. The records
// were validated when the layout was read; a piece that no longer splits into records means
// another program changed the file since. Throws MergeFileError about `file` when reading it
// fails, ShiftOverflowError, and Error when writing fails.
void CopyRecords(const InputFile& file, const prj::PrjBlock& block, prj::PrjBlockKind kind,
                 std::optional<std::int32_t> shift, std::span<std::byte> buffer, StagedFile& out,
                 std::uint64_t out_at) {
  std::uint64_t at = block.records_offset;
  while (at < block.end) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), block.end - at));
    const std::span<std::byte> piece = buffer.first(size);
    AboutFile(file.path(), "", [&] { file.ReadExactly(at, piece); });
    std::uint64_t used = size;
    if (shift) {
      try {
        used = ShiftRecords(piece, kind, *shift, at + size == block.end);
      } catch (const FormatError&) {
        used = 0;
      }
    }
    if (used == 0) AboutFile(file.path(), "", [&] { file.ThrowChanged(); });
    out.WriteAt(out_at, piece.first(used));
    at += used;
    out_at += used;
  }
}

// Files together at least this large are merged on two threads; smaller ones are done sooner
// than a thread starts.
constexpr std::uint64_t kSideBySideBytes = std::uint64_t{4} << 20;

// Runs `first_step` and `second_step`: at once, `second_step` on another thread, when
// `side_by_side`, else one after the other. Returns when both have ended. An exception of
// `first_step` is rethrown before one of `second_step`, so that a run reports the same error
// however the two steps overlap.
template <typename FirstStep, typename SecondStep>
void RunSideBySide(bool side_by_side, FirstStep first_step, SecondStep second_step) {
  if (!side_by_side) {
    first_step();
    second_step();
    return;
  }
  std::exception_ptr second_error;
  {
    std::jthread other([&] {
      try {
        second_step();
      } catch (...) {
        second_error = std::current_exception();
      }
    });
    first_step();  // an exception joins `other` on its way out
  }
  if (second_error) std::rethrow_exception(second_error);
}

}  // namespace

MergeFileError::MergeFileError(std::filesystem::path file, const std::string& detail)
    : Error("'" + file.string() + "': " + detail), file_(std::move(file)), detail_(detail) {}

MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second,
                     Durability durability) {
  // Both files are read piece by piece through small buffers, so that no file is ever held
  // whole in memory: first their layouts are walked (which reads the section headers and the
  // FF02 records), then their records are copied into the merged file. Each step handles the
  // two files side by side, on two threads. The same file on both sides is simply read twice.
  // A file another program changes meanwhile is refused before the merged file replaces
  // `first`.
  const InputFile first_file = AboutFile(first, "", [&] { return InputFile(first); });
  const InputFile second_file = AboutFile(second, "", [&] { return InputFile(second); });
  const bool side_by_side = first_file.size() + second_file.size() >= kSideBySideBytes;
  prj::PrjLayout first_layout, second_layout;
  RunSideBySide(
      side_by_side,
      [&] {
        first_layout = AboutFile(first, "not a valid PRJ file: ", [&] {
          return prj::ReadPrjLayout(FileWindow(first_file), prj::IndexReads::kStructureOnly);
        });
      },
      [&] {
        second_layout = AboutFile(second, "not a valid PRJ file: ", [&] {
          return prj::ReadPrjLayout(FileWindow(second_file), prj::IndexReads::kStructureOnly);
        });
      });
  const std::string cannot_merge = "cannot merge '" + second.string() + "' into it: ";
  const MergePlan plan =
      AboutFile(first, cannot_merge, [&] { return PlanMerge(first_layout, second_layout); });

  // The validating walks read the indices only where the plan needs them; the copy checks
  // every other index of the second file as it shifts it, before anything replaces `first`.
  AboutFile(first, "", [&] {
    StagedFiles files(durability);
    StagedFile& out = files.Open(first);
    out.Reserve(plan.size());
    // Larger than any record, and no larger than the files need.
    const auto buffer_bytes = static_cast<std::size_t>(std::min<std::uint64_t>(
        kCopyBytes, std::max<std::uint64_t>(prj::kMaxFF02RecordBytes, plan.size())));
    RunSideBySide(
        side_by_side,
        [&] {
          std::vector<std::byte> buffer(buffer_bytes);
          for (const MergePlan::Block& block : plan.blocks) {
            out.WriteAt(block.header_at, plan.Header(block));
            if (block.from_first) {
              CopyRecords(first_file, *block.from_first, block.kind, std::nullopt, buffer, out,
                          block.first_records_at);
            }
          }
        },
        [&] {
          std::vector<std::byte> buffer(buffer_bytes);
          for (const MergePlan::Block& block : plan.blocks) {
            if (!block.from_second) continue;
            try {
              CopyRecords(second_file, *block.from_second, block.kind, plan.index_shift, buffer,
                          out, block.second_records_at);
            } catch (const ShiftOverflowError& e) {
              throw MergeFileError(first, cannot_merge + e.what());
            }
          }
        });
    AboutFile(first, "", [&] { first_file.CheckUnchanged(); });
    AboutFile(second, "", [&] { second_file.CheckUnchanged(); });
    files.Commit();
  });

  MergeResult result;
  result.warnings = plan.warnings;
  result.index_shift = plan.index_shift;
  result.polygon_count = plan.polygon_count;
  result.bytes_written = plan.size();
  return result;
}

}  // namespace durvane::merge
