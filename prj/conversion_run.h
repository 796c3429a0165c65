// The Create New operation: one OPT file becomes one output folder holding its PRJ file and
// the BMP files of its textures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/file_lock.h"
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

// Checks and builds as RunConversion does (the texture scan, the counting walk, the streamed
// build) but writes nothing and keeps nothing of the PRJ file except the counts its writers
// report, so that memory stays small however large the PRJ file would be. Throws Error or
// FormatError where ConvertOpt does.
ConversionCounts CountConversion(std::span<const std::byte> opt_bytes);

struct ConversionResult {
  std::filesystem::path output_folder;
  std::filesystem::path prj_path;
  std::vector<std::filesystem::path> bitmaps;  // written, in scan order, each once
  std::vector<std::string> warnings;
  bool created_output_folder = false;
};

// The lower-case base name of an OPT file name: the name less its ".opt" extension (any
// case), ASCII letters lowered. Throws Error when the name does not end in ".opt" or the base
// name is empty.
std::string OutputBaseName(const std::string& opt_file_name);

// Converts opt_folder/opt_file_name into qel_directory/<base>/: <base>.prj and one BMP per
// texture. All or nothing: the file is checked as far as it can be before anything is created,
// the PRJ file is then written to a temporary file as it is built, the files are replaced as
// one set (see StagedFiles), and on any failure nothing is created or changed. `durability` says
// whether the files reach the disk before they replace the old ones. The conversion holds a
// WriterLock on the output folder while it writes there; `lock_wait` says whether to wait for
// another run's. `progress`, when given, hears each stage as the conversion passes it.
ConversionResult RunConversion(const std::filesystem::path& qel_directory,
                               const std::filesystem::path& opt_folder,
                               const std::string& opt_file_name,
                               Durability durability = Durability::kSync,
                               const LockWait& lock_wait = {},
                               const ConversionProgress& progress = {});

}  // namespace durvane
