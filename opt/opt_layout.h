// Offsets and codes of the OPT file layout.
#pragma once

#include <cstdint>

namespace durvane::opt {

// File header.
inline constexpr std::uint64_t kBaseAddressOffset = 8;
inline constexpr std::uint64_t kNodeCountOffset = 14;
inline constexpr std::uint64_t kTopLevelTableOffset = 22;

// Node header, as node offsets.
inline constexpr std::uint32_t kNodeTypeOffset = 4;
inline constexpr std::uint32_t kChildCountOffset = 8;
inline constexpr std::uint32_t kChildTableAddressOffset = 12;
inline constexpr std::uint32_t kDataCountOffset = 16;
inline constexpr std::uint32_t kDataAddressOffset = 20;
inline constexpr std::uint32_t kPayloadOffset = 24;  // also the start of an in-place child list

// Node type codes.
enum NodeTypeCode : std::int32_t {
  kGroupNode = 0,
  kPolygonListNode = 1,
  kVertexListNode = 3,
  kTextureReferenceNode = 7,
  kPairListNode = 13,
  kTextureNode = 20,
  kNodeType22 = 22,
  kNodeType23 = 23,
  kTextureGroupNode = 24,
  kNodeType25 = 25,
  kNodeType28 = 28,
};

// Vertex list node: rows of three Singles from node offset 24.
inline constexpr std::uint32_t kVertexRowBytes = 12;
// Pair list node: pairs of two Singles from node offset 24.
inline constexpr std::uint32_t kPairRowBytes = 8;

// Polygon list node: 64-byte rows from node offset 28, then two trailing tables.
inline constexpr std::uint32_t kPolygonRowsOffset = 28;
inline constexpr std::uint32_t kPolygonRowBytes = 64;
inline constexpr std::uint32_t kVertexIndicesRowOffset = 0;
inline constexpr std::uint32_t kPairIndicesRowOffset = 32;
inline constexpr std::uint32_t kFirstTrailingEntryBytes = 12;
inline constexpr std::uint32_t kSecondTrailingEntryBytes = 24;
// Bytes a polygon list node of n rows spans from kPolygonRowsOffset on, per row.
inline constexpr std::uint32_t kPolygonBytesPerRow =
    kPolygonRowBytes + kFirstTrailingEntryBytes + kSecondTrailingEntryBytes;

// A corner index that marks a three-sided polygon.
inline constexpr std::int32_t kNoFourthCorner = -1;

// Texture names.
inline constexpr std::uint32_t kTextureNameOffset = 24;
inline constexpr std::uint32_t kTextureNameBytes = 8;

}  // namespace durvane::opt
