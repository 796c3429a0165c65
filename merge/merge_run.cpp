#include "merge/merge_run.h"

#include "core/file_io.h"
#include "merge/prj_layout_reader.h"
#include "merge/prj_merge.h"

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

}  // namespace

MergeFileError::MergeFileError(std::filesystem::path file, const std::string& detail)
    : Error("'" + file.string() + "': " + detail), file_(std::move(file)), detail_(detail) {}

MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second) {
  // Both files are mapped whole, independently, so the same file on both sides is merged
  // with a copy of itself: the second is a private copy, whose indices the merge shifts.
  const MappedFile first_file = AboutFile(first, "", [&] { return MappedFile(first); });
  MappedFile second_file =
      AboutFile(second, "", [&] { return MappedFile(second, MappedFile::Access::kPrivateCopy); });
  const std::span<const std::byte> first_bytes = first_file.bytes();
  const std::span<std::byte> second_bytes = second_file.private_bytes();
  const PrjLayout first_layout =
      AboutFile(first, "not a valid PRJ file: ", [&] { return ReadPrjLayout(first_bytes); });
  const PrjLayout second_layout =
      AboutFile(second, "not a valid PRJ file: ", [&] { return ReadPrjLayout(second_bytes); });

  const MergedPrj merged =
      AboutFile(first, "cannot merge '" + second.string() + "' into it: ", [&] {
        return MergePrjImages(first_bytes, first_layout, second_bytes, second_layout);
      });
  AboutFile(first, "", [&] { WriteFileAtomically(first, merged.pieces); });

  MergeResult result;
  result.warnings = merged.warnings;
  result.index_shift = merged.index_shift;
  result.polygon_count = merged.polygon_count;
  result.bytes_written = merged.size();
  return result;
}

}  // namespace durvane::merge
