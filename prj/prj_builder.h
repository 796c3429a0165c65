// Builds the whole PRJ file of an OPT file in memory: the leading block, then sections FF01,
// FF02, FF03, FF04, FF05, FF07 and FF08, with every count field final.
#pragma once

#include <string>
#include <vector>

#include "core/file_io.h"
#include "opt/opt_image.h"
#include "prj/prj_image.h"

namespace durvane::prj {

// Throws Error or FormatError when the OPT file cannot be converted; warnings about a PRJ
// file that is valid but questionable are appended to `warnings`.
PrjImage BuildPrj(const opt::OptImage& image, std::vector<std::string>& warnings);

// The largest PRJ file a conversion produces for an OPT file of `input_bytes` bytes; nodes
// shared many times over could otherwise make a small file demand an enormous output.
std::uint64_t MaxPrjBytes(std::uint64_t input_bytes);

}  // namespace durvane::prj
