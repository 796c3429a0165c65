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

MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second,
                     Durability durability) {
  // Both files are read whole, independently, so the same file on both sides is merged with
  // a copy of itself; the merge shifts the indices in the second file's copy. Reading rather
  // than mapping keeps a file that another program shortens meanwhile from ending the process.
  const ByteBuffer first_file = AboutFile(first, "", [&] { return ReadFileBuffer(first); });
  ByteBuffer second_file = AboutFile(second, "", [&] { return ReadFileBuffer(second); });
  const std::span<const std::byte> first_bytes = first_file;
  const std::span<std::byte> second_bytes(second_file.data(), second_file.size());
  const PrjLayout first_layout =
      AboutFile(first, "not a valid PRJ file: ", [&] { return ReadPrjLayout(first_bytes); });
  const PrjLayout second_layout =
      AboutFile(second, "not a valid PRJ file: ", [&] { return ReadPrjLayout(second_bytes); });

  const MergedPrj merged =
      AboutFile(first, "cannot merge '" + second.string() + "' into it: ", [&] {
        return MergePrjImages(first_bytes, first_layout, second_bytes, second_layout);
      });
  AboutFile(first, "", [&] { WriteFileAtomically(first, merged.pieces, durability); });

  MergeResult result;
  result.warnings = merged.warnings;
  result.index_shift = merged.index_shift;
  result.polygon_count = merged.polygon_count;
  result.bytes_written = merged.size();
  return result;
}

}  // namespace durvane::merge
