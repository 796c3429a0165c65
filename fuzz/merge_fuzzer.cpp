// Fuzz entry point for the merge: any bytes split into two PRJ files, read and merged in
// memory exactly as `durvane merge` does before it writes. The first four bytes choose where
// the first file ends. A refused pair must fail with durvane::Error and leave the second file's
// bytes as they were; an accepted pair must give a valid PRJ file with the summed polygon count.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "merge/prj_layout_reader.h"
#include "merge/prj_merge.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "merge_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

// Merges two files that both read as valid PRJ files and checks the result.
void MergeValidPair(const std::vector<std::byte>& first,
                    const durvane::merge::PrjLayout& first_layout, std::vector<std::byte>& second,
                    const durvane::merge::PrjLayout& second_layout) {
  using namespace durvane::merge;
  const std::vector<std::byte> second_before = second;
  std::vector<std::byte> merged;
  try {
    merged = MergePrjImages(first, first_layout, second, second_layout).Flatten();
  } catch (const durvane::Error&) {
    Check(second == second_before, "a refused merge changed the second file's bytes");
    return;
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  const std::span<const std::byte> files = input.subspan(4);
  const std::size_t cut = durvane::LoadU32(input.data()) % (files.size() + 1);
  const std::vector<std::byte> first(files.begin(), files.begin() + cut);
  std::vector<std::byte> second(files.begin() + cut, files.end());

  durvane::merge::PrjLayout first_layout, second_layout;
  try {
    first_layout = durvane::merge::ReadPrjLayout(first);
    second_layout = durvane::merge::ReadPrjLayout(second);
  } catch (const durvane::Error&) {
    return 0;  // a clean refusal
  }
  MergeValidPair(first, first_layout, second, second_layout);
  return 0;
}
