// Turns one texture of an OPT file into an uncompressed 8-bit palettised BMP file: a 54-byte
// header, a colour table of 256 entries and the pixel bytes exactly as stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "opt/texture_bitmap.h"

namespace durvane::opt {

inline constexpr std::size_t kPaletteBytes = 512;       // 256 entries of 16 bits, 5-6-5
inline constexpr std::size_t kColourTableBytes = 1024;  // 256 entries of blue, green, red, 0
inline constexpr std::size_t kBitmapFileHeaderBytes = 14;
inline constexpr std::size_t kBitmapInfoHeaderBytes = 40;
// Bytes in front of the pixel data: file header, info header and colour table.
inline constexpr std::size_t kBitmapHeaderBytes =
    kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes + kColourTableBytes;

// The colour table entry of a 5-6-5 colour: blue, green, red and 0, each channel widened to
// 8 bits with its low bits 0 (red and blue step by 8, green by 4).
std::array<std::uint8_t, 4> ColourTableEntry(std::uint16_t colour);

// Builds the bitmap of one texture. `palette` is the texture's 512 palette bytes (entry n at
// bytes 2n and 2n + 1, low byte first); width and height go into the header as given, and the
// pixels are used as they are, without row padding, so the file is 1078 + pixels.size()
// bytes. The result's pixels point into the caller's bytes.
TextureBitmap ExportTexture(std::span<const std::byte, 8> name,
                            std::span<const std::byte, kPaletteBytes> palette,
                            std::span<const std::byte> pixels, std::int32_t width,
                            std::int32_t height);

}  // namespace durvane::opt
