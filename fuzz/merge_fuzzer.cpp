// Fuzz entry point for the merge: any bytes split into two PRJ files, merged in memory and, as
// `durvane merge` does, by streaming the two files from disk. The first four bytes choose where
// the first file ends. A refused pair must fail with durvane::Error and leave the second file's
// bytes as they were; an accepted pair must give a valid PRJ file with the summed polygon count.
// The streamed merge must refuse exactly the pairs the in-memory merge refuses, leaving the
// first file as it was, and otherwise write the same bytes.
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
#include "merge/merge_run.h"
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

// Merges the two files from disk and checks that the result agrees with the in-memory merge:
// `expected`, or a refusal that leaves the first file as it was.
void CheckStreamedMerge(std::span<const std::byte> first, std::span<const std::byte> second,
                        const std::optional<std::vector<std::byte>>& expected) {
  const std::filesystem::path a = WorkFolder() / "first.prj", b = WorkFolder() / "second.prj";
  const durvane::ByteSpans one_piece_a(&first, 1), one_piece_b(&second, 1);
  durvane::WriteFileAtomically(a, one_piece_a, durvane::Durability::kNoSync);
  durvane::WriteFileAtomically(b, one_piece_b, durvane::Durability::kNoSync);
  bool merged = true;
  try {
    durvane::merge::MergePrj(a, b, durvane::Durability::kNoSync);
  } catch (const durvane::merge::MergeFileError&) {
    merged = false;
  }
  Check(merged == expected.has_value(), "the streamed merge and the in-memory merge disagree");
  const std::vector<std::byte> written = durvane::ReadFile(a);
  if (expected) {
    Check(written == *expected, "the streamed merge wrote other bytes");
  } else {
    Check(std::equal(written.begin(), written.end(), first.begin(), first.end()),
          "a refused streamed merge changed the first file");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  const std::span<const std::byte> files = input.subspan(4);
  const std::size_t cut = durvane::LoadU32(input.data()) % (files.size() + 1);
  const std::vector<std::byte> first(files.begin(), files.begin() + cut);
  std::vector<std::byte> second(files.begin() + cut, files.end());

  const std::vector<std::byte> second_as_given = second;
  durvane::prj::PrjLayout first_layout, second_layout;
  std::optional<std::vector<std::byte>> merged;
  try {
    first_layout = durvane::prj::ReadPrjLayout(first);
    second_layout = durvane::prj::ReadPrjLayout(second);
    merged = MergeValidPair(first, first_layout, second, second_layout);
  } catch (const durvane::Error&) {
    // a clean refusal
  }
  CheckStreamedMerge(first, second_as_given, merged);
  return 0;
}
