#include "render/bitmap.h"

#include <string>

#include "core/error.h"
#include "core/little_endian.h"

namespace durvane::render {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;  // the shortest info header with the fields read
constexpr std::size_t kPixelOffsetField = 10;

std::uint16_t LoadU16(const std::byte* p) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) |
                                    std::to_integer<unsigned>(p[1]) << 8);
}

}  // namespace

Bitmap ReadBitmap(std::span<const std::byte> head, std::span<const std::byte> pixels) {
  if (head.size() < kFileHeaderBytes + kInfoHeaderBytes) {
    throw Error("not a BMP file: it ends within its headers");
  }
  if (head[0] != std::byte{'B'} || head[1] != std::byte{'M'}) {
    throw Error("not a BMP file: it does not start with \"BM\"");
  }
  const std::byte* info = head.data() + kFileHeaderBytes;
  const std::uint32_t info_bytes = LoadU32(info);
  const std::int32_t width = LoadI32(info + 4);
  const std::int32_t height = LoadI32(info + 8);
  const std::uint16_t bits = LoadU16(info + 14);
  const std::uint32_t compression = LoadU32(info + 16);
  const std::uint32_t colours_used = LoadU32(info + 32);
  if (bits != 8 || compression != 0) {
    throw Error("not an uncompressed 8-bit bitmap (" + std::to_string(bits) +
                " bits per pixel, compression " + std::to_string(compression) + ")");
  }
  if (width <= 0 || height <= 0) {
    throw Error("a size of " + std::to_string(width) + " by " + std::to_string(height) + " pixels");
  }
  const std::uint64_t count =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (pixels.size() < count) {
    throw Error(std::to_string(width) + " by " + std::to_string(height) + " pixels but only " +
                std::to_string(pixels.size()) + " pixel bytes");
  }

  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  // The colour table follows the info header; it holds colours_used entries, 256 when 0.
  const std::uint64_t table_at = kFileHeaderBytes + static_cast<std::uint64_t>(info_bytes);
  const std::uint64_t entries = colours_used == 0 || colours_used > 256 ? 256 : colours_used;
  for (std::uint64_t n = 0; n < entries; ++n) {
    const std::uint64_t at = table_at + 4 * n;
    if (at > head.size() || head.size() - at < 4) break;
    bitmap.colours[n] = {std::to_integer<std::uint8_t>(head[at + 2]),
                         std::to_integer<std::uint8_t>(head[at + 1]),
                         std::to_integer<std::uint8_t>(head[at])};
  }
  bitmap.pixels.resize(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    bitmap.pixels[i] = std::to_integer<std::uint8_t>(pixels[i]);
  }
  return bitmap;
}

Bitmap ReadBitmapFile(std::span<const std::byte> file) {
  if (file.size() < kFileHeaderBytes) throw Error("not a BMP file: it ends within its headers");
  const std::uint32_t pixels_at = LoadU32(file.data() + kPixelOffsetField);
  if (pixels_at > file.size()) {
    throw Error("its pixels would start at offset " + std::to_string(pixels_at) +
                ", past its end at " + std::to_string(file.size()));
  }
  return ReadBitmap(file, file.subspan(pixels_at));
}

}  // namespace durvane::render
