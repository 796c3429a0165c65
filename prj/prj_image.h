// A PRJ file in memory, block by block, as a conversion builds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/byte_sink.h"

namespace durvane::prj {

struct PrjImage {
  ByteSink leading;                                   // count field and polygon records
  ByteSink ff01, ff02, ff03, ff04, ff05, ff07, ff08;  // tag, count field, records

  std::int32_t polygon_count = 0;
  std::int32_t ff03_count = 0;
  std::int32_t ff08_count = 0;

  // The eight blocks in file order; written back to back they are the PRJ file.
  std::array<std::span<const std::byte>, 8> Pieces() const {
    return {leading.bytes(), ff01.bytes(), ff02.bytes(), ff03.bytes(),
            ff04.bytes(),    ff05.bytes(), ff07.bytes(), ff08.bytes()};
  }
  std::uint64_t size() const {
    std::uint64_t total = 0;
    for (auto piece : Pieces()) total += piece.size();
    return total;
  }
  // The whole file as one buffer.
  std::vector<std::byte> Flatten() const {
    std::vector<std::byte> out;
    out.reserve(size());
    for (auto piece : Pieces()) out.insert(out.end(), piece.begin(), piece.end());
    return out;
  }
};

}  // namespace durvane::prj
