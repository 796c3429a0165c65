// Converting an OPT file's bytes in memory: its textures and its PRJ file, nothing written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "opt/opt_image.h"
#include "opt/texture_bitmap.h"
#include "prj/prj_builder.h"
#include "prj/prj_image.h"

namespace durvane {

// Everything a conversion produces, in memory.
struct ConvertedModel {
  prj::PrjImage prj;
  std::vector<opt::TextureBitmap> textures;  // in scan order; a name may occur twice
  std::vector<std::string> warnings;
};

// The stages of a conversion, in order: the OPT file is read, its textures scanned, the PRJ
// file built, and every output file written.
enum class ConversionStage : std::uint8_t { kRead, kScanned, kBuilt, kWritten };
inline constexpr int kConversionStages = 4;
// Called as a conversion passes each stage.
using ConversionProgress = std::function<void(ConversionStage)>;

// Converts an OPT file's bytes without touching the disk. The textures' pixels point into
// `opt_bytes`, which must outlive the result. Throws Error or FormatError on invalid input.
// `progress`, when given, hears kScanned and kBuilt.
ConvertedModel ConvertOpt(std::span<const std::byte> opt_bytes,
                          const ConversionProgress& progress = {});

// What a conversion makes of an OPT file besides its output files.
struct ConversionCounts {
  prj::PrjSectionCounts prj;
  std::vector<std::string> warnings;  // those ConvertOpt gives, in its order
};

// Checks and builds as the conversion does (the texture scan, the counting walk, the streamed
// build) but writes nothing and keeps nothing of the PRJ file except the counts its writers
// report, so that memory stays small however large the PRJ file would be. Throws Error or
// FormatError where ConvertOpt does.
ConversionCounts CountConversion(std::span<const std::byte> opt_bytes);

// The texture scan, with a warning for each texture that cannot get a file.
std::vector<opt::TextureBitmap> ScanTextures(const opt::OptImage& image,
                                             std::vector<std::string>& warnings);

}  // namespace durvane
