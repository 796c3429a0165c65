// Fuzz entry point for the merge: any bytes split into three PRJ files (or two, when the top bit
// of the second cut is set), merged in memory one file at a time and, as `durvane merge` does,
// in one pass by streaming the files from disk. The first eight bytes choose where the first
// and the second file end. A refused merge must fail with durvane::Error and leave the later
// file's bytes as they were; an accepted one must give a valid PRJ file with the summed polygon
// count. The streamed merge must refuse exactly the inputs the one-at-a-time merges refuse,
// leaving the first file as it was, and otherwise write the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include <unistd.h>
#include <filesystem>
#include <optional>

#include "core/error.h"
#include "core/file_io.h"
#include "core/little_endian.h"
#include "usecases/merge_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/in_memory_merge.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "merge_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

// Merges two files that both read as valid PRJ files and checks the result, which it returns;
// nothing when the merge is refused.
std::optional<std::vector<std::byte>> MergeValidPair(const std::vector<std::byte>& first,
                                                     const durvane::prj::PrjLayout& first_layout,
                                                     std::vector<std::byte>& second,
                                                     const durvane::prj::PrjLayout& second_layout) {
  using durvane::fixture::MergePrjImages;
  using namespace durvane::prj;
  const std::vector<std::byte> second_before = second;
  std::vector<std::byte> merged;
  try {
    merged = MergePrjImages(first, first_layout, second, second_layout).Flatten();
  } catch (const durvane::Error&) {
    Check(second == second_before, "a refused merge changed the second file's bytes");
    return std::nullopt;
  }
  // At most the FF03 and FF08 headers the first file lacked are new.
  Check(merged.size() <= first.size() + second.size() + 16, "merged file too long");
  PrjLayout merged_layout;
  try {
    merged_layout = ReadPrjLayout(merged);
  } catch (const durvane::Error& e) {
    std::fprintf(stderr, "merge_fuzzer: the merged file is not valid: %s\n", e.what());
    std::abort();
  }
  Check(static_cast<std::int64_t>(merged_layout.polygon_count()) ==
            static_cast<std::int64_t>(first_layout.polygon_count()) + second_layout.polygon_count(),
        "merged polygon count is not the sum");
  return merged;
}

// A folder of this process for the streamed merge's files, in memory where the system has
// such a file system.
const std::filesystem::path& WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    auto path = base / ("durvane-merge-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

// Merges the files from disk in one pass and checks that the result agrees with the in-memory
// merges: `expected`, or a refusal that leaves the first file as it was.
void CheckStreamedMerge(const std::vector<std::vector<std::byte>>& files,
                        const std::optional<std::vector<std::byte>>& expected) {
  std::vector<std::filesystem::path> paths;
  for (std::size_t i = 0; i < files.size(); ++i) {
    paths.push_back(WorkFolder() / ("file" + std::to_string(i) + ".prj"));
    const std::span<const std::byte> piece = files[i];
    durvane::WriteFileAtomically(paths.back(), durvane::ByteSpans(&piece, 1),
                                 durvane::Durability::kNoSync);
  }
  bool merged = true;
  try {
    durvane::merge::MergePrjFiles(paths.front(), std::span(paths).subspan(1),
                                  durvane::Durability::kNoSync);
  } catch (const durvane::merge::MergeFileError&) {
    merged = false;
  }
  Check(merged == expected.has_value(), "the streamed merge and the in-memory merge disagree");
  const std::vector<std::byte> written = durvane::ReadFile(paths.front());
  if (expected) {
    Check(written == *expected, "the streamed merge wrote other bytes");
  } else {
    Check(written == files.front(), "a refused streamed merge changed the first file");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  std::span<const std::byte> rest = input.subspan(8);
  const std::uint32_t second_cut = durvane::LoadU32(input.data() + 4);
  std::vector<std::vector<std::byte>> files;
  const std::size_t first_end = durvane::LoadU32(input.data()) % (rest.size() + 1);
  files.emplace_back(rest.begin(), rest.begin() + first_end);
  rest = rest.subspan(first_end);
  if ((second_cut & 0x80000000u) == 0) {
    const std::size_t second_end = (second_cut & 0x7FFFFFFFu) % (rest.size() + 1);
    files.emplace_back(rest.begin(), rest.begin() + second_end);
    rest = rest.subspan(second_end);
  }
  files.emplace_back(rest.begin(), rest.end());

  // One file at a time, in memory: each step must succeed for the whole merge to.
  std::optional<std::vector<std::byte>> merged;
  try {
    std::vector<std::byte> result = files.front();
    bool refused = false;
    for (std::size_t i = 1; i < files.size() && !refused; ++i) {
      std::vector<std::byte> later = files[i];
      const durvane::prj::PrjLayout result_layout = durvane::prj::ReadPrjLayout(result);
      const durvane::prj::PrjLayout later_layout = durvane::prj::ReadPrjLayout(later);
      auto step = MergeValidPair(result, result_layout, later, later_layout);
      if (step) {
        result = std::move(*step);
      } else {
        refused = true;
      }
    }
    if (!refused) merged = std::move(result);
  } catch (const durvane::Error&) {
    // a clean refusal
  }
  CheckStreamedMerge(files, merged);
  return 0;
}
