// Exporting the model of an OPT or PRJ file to glTF or OBJ, in one call.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/staged_files.h"
#include "export/drawn_polygons.h"
#include "export/export_format.h"

namespace durvane::exporting {

struct ExportOutcome {
  // The model's warnings (missing or unusable bitmaps), the polygons left out, and what the
  // sweep of the output folder left alone.
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // written: the main file first
};

// Reads the model of `input` as LoadModelFile reads it for a picture, and writes it to `output`
// in `format`, with the files that go beside it (a .bin, an .mtl, the bitmaps as PNG files), as
// one set: all of them or, on any error, none. Throws what LoadModelFile throws for the input,
// Error when the model does not fit the format or a file cannot be written, and ExportCancelled
// when `cancelled` says so; nothing is written then.
ExportOutcome ExportModel(const std::filesystem::path& input, const std::filesystem::path& output,
                          ExportFormat format, const CancelCheck& cancelled = {},
                          Durability durability = Durability::kSync);

// The input's name less its extension, with the format's: "ship.glb" for "ship.opt".
std::filesystem::path ExportFileName(const std::filesystem::path& input, ExportFormat format);

}  // namespace durvane::exporting
