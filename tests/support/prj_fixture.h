// Builds PRJ files from a readable description, block by block, for the merge tests, the
// benchmarks and the fuzzers' seeds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace durvane::fixture {

// A record of a fixed-length block: its top-level index, then bytes derived from `seed`.
struct PrjRecord {
  std::int32_t index = 0;
  std::uint8_t seed = 0;
};

// An FF02 record: the index, the flag, the strings as given (one length byte each), then a
// 40-byte tail derived from `seed`. Flag 1 should come with four strings, others with one.
struct PrjNameRecord {
  std::int32_t index = 0;
  std::uint8_t flag = 0;
  std::vector<std::string> strings = {"TEX00000.BMP"};
  std::uint8_t seed = 0;
};

struct PrjLayoutDesc {
  std::vector<PrjRecord> leading, ff01, ff07;
  std::vector<PrjNameRecord> ff02;
  std::optional<std::vector<PrjRecord>> ff03 = std::vector<PrjRecord>{};
  std::vector<PrjRecord> ff04, ff05;
  std::optional<std::vector<PrjRecord>> ff08 = std::vector<PrjRecord>{};
  // Count fields written instead of the number of records, by block in file order.
  std::array<std::optional<std::int32_t>, 8> count_fields{};

  // Adds one polygon: a record with `index` to the leading block and sections FF01 and FF07,
  // and `name` (with the same index) to section FF02.
  PrjLayoutDesc& Polygon(std::int32_t index, std::uint8_t seed, PrjNameRecord name = {});
};

// The file `desc` describes.
std::vector<std::byte> BuildPrjFile(const PrjLayoutDesc& desc);

// `desc` with every record's top-level index raised by `shift`.
PrjLayoutDesc ShiftedIndices(PrjLayoutDesc desc, std::int32_t shift);

}  // namespace durvane::fixture
