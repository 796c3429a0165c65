// The 8-bit palettised bitmaps the converter writes beside a PRJ file, read for drawing.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace durvane::render {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Bitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::array<Rgb, 256> colours{};
  // width * height colour indices, row after row in stored order, rows not padded: the
  // converter writes the texture's pixels exactly as the OPT file holds them.
  std::vector<std::uint8_t> pixels;

  // The colour at texture pair (u, v), fractions of the width and height that wrap outside 0
  // to 1; v = 0 is the first stored row. Nearest pixel; any u and v, even non-finite, give a
  // pixel of the bitmap.
  Rgb Sample(float u, float v) const {
    const std::size_t x = Texel(u, width);
    const std::size_t y = Texel(v, height);
    return colours[pixels[y * static_cast<std::size_t>(width) + x]];
  }

 private:
  static std::size_t Texel(float t, std::int32_t size) {
    float f = t - std::floor(t);
    if (!(f >= 0.0f && f < 1.0f)) f = 0.0f;  // non-finite, or rounded up to 1
    const auto i = static_cast<std::size_t>(f * static_cast<float>(size));
    return i < static_cast<std::size_t>(size) ? i : static_cast<std::size_t>(size) - 1;
  }
};

// Reads an uncompressed 8-bit BMP: `head` holds the file from its start (at least its headers
// and colour table), `pixels` its bytes from the pixel data offset on. Throws Error saying
// what is wrong when the headers lie outside `head`, the bitmap is not 8 bits per pixel and
// uncompressed, its width or height is not above 0, or `pixels` holds fewer than width * height
// bytes. Colour table entries beyond those stored are black.
Bitmap ReadBitmap(std::span<const std::byte> head, std::span<const std::byte> pixels);

// The same for a whole BMP file, whose header says where its pixels start.
Bitmap ReadBitmapFile(std::span<const std::byte> file);

}  // namespace durvane::render
