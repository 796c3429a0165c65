// Tags, record lengths and block order of the PRJ file.
#pragma once

#include <cstdint>

namespace durvane::prj {

inline constexpr std::int32_t kTagFF01 = 0xFF01;
inline constexpr std::int32_t kTagFF02 = 0xFF02;
inline constexpr std::int32_t kTagFF03 = 0xFF03;
inline constexpr std::int32_t kTagFF04 = 0xFF04;
inline constexpr std::int32_t kTagFF05 = 0xFF05;
inline constexpr std::int32_t kTagFF07 = 0xFF07;
inline constexpr std::int32_t kTagFF08 = 0xFF08;

inline constexpr std::uint32_t kPolygonRecordBytes = 52;  // leading block
inline constexpr std::uint32_t kFF01RecordBytes = 36;
inline constexpr std::uint32_t kFF03RecordBytes = 20;
inline constexpr std::uint32_t kFF04RecordBytes = 76;
inline constexpr std::uint32_t kFF05RecordBytes = 52;
inline constexpr std::uint32_t kFF07RecordBytes = 40;
inline constexpr std::uint32_t kFF08RecordBytes = 72;

// FF02 records: index, flag, one or four 13-byte name entries, 40 zero bytes.
inline constexpr std::uint8_t kFF02OneTexture = 0;
inline constexpr std::uint8_t kFF02FourTextures = 1;
inline constexpr std::uint8_t kFF02NameLength = 12;  // 8 name bytes and ".BMP"
inline constexpr std::uint32_t kFF02NameEntryBytes = 1 + kFF02NameLength;
inline constexpr std::uint32_t kFF02TailBytes = 40;
inline constexpr std::uint32_t kFF02OneTextureRecordBytes =
    4 + 1 + kFF02NameEntryBytes + kFF02TailBytes;
inline constexpr std::uint32_t kFF02FourTextureRecordBytes =
    4 + 1 + 4 * kFF02NameEntryBytes + kFF02TailBytes;

// A section begins with its tag and its count field.
inline constexpr std::uint32_t kSectionHeaderBytes = 8;

}  // namespace durvane::prj
