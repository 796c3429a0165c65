// PNG files of rendered pictures, through libpng.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "render/renderer.h"

namespace durvane::render {

// The picture as an 8-bit RGBA PNG file. Throws Error when libpng fails.
std::vector<std::byte> EncodePng(const Image& image);

// Reads a PNG file into 8-bit RGBA pixels. Throws Error saying what is wrong.
Image DecodePng(std::span<const std::byte> file);

}  // namespace durvane::render
