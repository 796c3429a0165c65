// Helpers for tests that check PRJ bytes: expected blocks built value by value, and reading
// values back out of a converted file.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "core/little_endian.h"
#include "usecases/conversion_run.h"
#include "tests/support/opt_builder.h"

namespace durvane::fixture {

// Converts a built OPT file in memory and returns the PRJ file's bytes.
inline std::vector<std::byte> ConvertToPrj(const BuiltOpt& opt,
                                           std::vector<std::string>* warnings = nullptr) {
  ConvertedModel model = ConvertOpt(opt.bytes);
  if (warnings) *warnings = model.warnings;
  return model.prj.Flatten();
}

inline std::int32_t LongAt(std::span<const std::byte> bytes, std::size_t offset) {
  return LoadI32(bytes.data() + offset);
}

// The bit pattern of a Single as the Long it is stored as.
inline std::int32_t Bits(float f) {
  std::int32_t v;
  std::memcpy(&v, &f, 4);
  return v;
}

// Appends Singles to an expected block.
inline void Singles(ByteSink& sink, std::initializer_list<float> values) {
  for (float f : values) sink.Long(Bits(f));
}

}  // namespace durvane::fixture
