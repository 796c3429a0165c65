// The texture scan: walks the OPT tree to its fixed depth and collects every texture it
// reaches, in walk order, as a bitmap ready to be written.
#pragma once

#include <string>
#include <vector>

#include "opt/opt_image.h"
#include "opt/texture_bitmap.h"

namespace durvane::opt {

// Returns the textures in the order they are reached; a name met twice appears twice.
// Throws FormatError when a field the scan reads lies outside the file.
std::vector<TextureBitmap> ScanOpt(const OptImage& image, std::vector<std::string>& warnings);

}  // namespace durvane::opt
