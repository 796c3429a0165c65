// PNG files of rendered pictures and of bitmaps, through libpng.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "render/bitmap.h"
#include "render/renderer.h"

namespace durvane::render {

// The picture as an 8-bit RGBA PNG file. Throws Error when libpng fails.
std::vector<std::byte> EncodePng(const Image& image);

// The bitmap as an 8-bit palettised PNG file: its colour table as the palette, its rows in
// stored order from the top. Throws Error when encoding fails.
std::vector<std::byte> EncodeBitmapPng(const Bitmap& bitmap);

// Reads a PNG file into 8-bit RGBA pixels. Throws Error saying what is wrong.
Image DecodePng(std::span<const std::byte> file);

}  // namespace durvane::render
