#include "opt/texture_export.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "core/little_endian.h"

namespace durvane::opt {
namespace {

void StoreU16(std::byte* p, std::uint16_t v) {
  p[0] = static_cast<std::byte>(v & 0xFF);
  p[1] = static_cast<std::byte>(v >> 8);
}

}  // namespace

std::array<std::uint8_t, 4> ColourTableEntry(std::uint16_t colour) {
  const auto red = static_cast<std::uint8_t>((colour >> 11) << 3);
  const auto green = static_cast<std::uint8_t>(((colour >> 5) & 0x3F) << 2);
  const auto blue = static_cast<std::uint8_t>((colour & 0x1F) << 3);
  return {blue, green, red, 0};
}

TextureBitmap ExportTexture(std::span<const std::byte, 8> name,
                            std::span<const std::byte, kPaletteBytes> palette,
                            std::span<const std::byte> pixels, std::int32_t width,
                            std::int32_t height) {
  // The file size field is 32 bits wide.
  if (pixels.size() > std::numeric_limits<std::uint32_t>::max() - kBitmapHeaderBytes) {
    throw std::length_error("a bitmap of " + std::to_string(pixels.size()) +
                            " pixels does not fit a BMP file");
  }
  TextureBitmap bitmap;
  std::copy(name.begin(), name.end(), bitmap.name.begin());
  bitmap.pixels = pixels;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.header.assign(kBitmapHeaderBytes, std::byte{0});
  std::byte* h = bitmap.header.data();

  // File header. Zeros already fill the reserved fields and every field not set below.
  h[0] = std::byte{'B'};
  h[1] = std::byte{'M'};
  StoreU32(h + 2, static_cast<std::uint32_t>(kBitmapHeaderBytes + pixels.size()));
  StoreU32(h + 10, static_cast<std::uint32_t>(kBitmapHeaderBytes));
  // Info header: positive height, so the first stored row is the bottom one; 1 plane, 8 bits
  // per pixel, no compression, all colours used.
  StoreU32(h + 14, static_cast<std::uint32_t>(kBitmapInfoHeaderBytes));
  StoreI32(h + 18, width);
  StoreI32(h + 22, height);
  StoreU16(h + 26, 1);
  StoreU16(h + 28, 8);

  std::byte* table = h + kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes;
  for (std::size_t n = 0; n < 256; ++n) {
    const auto colour =
        static_cast<std::uint16_t>(std::to_integer<unsigned>(palette[2 * n]) |
                                   std::to_integer<unsigned>(palette[2 * n + 1]) << 8);
    const auto entry = ColourTableEntry(colour);
    for (std::size_t c = 0; c < 4; ++c) table[4 * n + c] = static_cast<std::byte>(entry[c]);
  }
  return bitmap;
}

}  // namespace durvane::opt
