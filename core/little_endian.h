// Little-endian loads and stores of 32-bit values, independent of the host's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace durvane {

// Reads the 32-bit little-endian value at p. The caller guarantees 4 readable bytes.
inline std::uint32_t LoadU32(const std::byte* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline std::int32_t LoadI32(const std::byte* p) {
  return static_cast<std::int32_t>(LoadU32(p));
}

// Writes v as 4 little-endian bytes at p. The caller guarantees 4 writable bytes.
inline void StoreU32(std::byte* p, std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  std::memcpy(p, &v, sizeof v);
}

inline void StoreI32(std::byte* p, std::int32_t v) {
  StoreU32(p, static_cast<std::uint32_t>(v));
}

}  // namespace durvane
