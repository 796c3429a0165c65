// A model exported to another format: its files staged as one set, with what the export noticed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/staged_files.h"
#include "export/drawn_polygons.h"
#include "export/export_format.h"
#include "render/model.h"

namespace durvane::exporting {

struct ExportOptions {
  ExportFormat format = ExportFormat::kGlb;
  CancelCheck cancelled;  // may be empty
};

struct StagedExport {
  // The model's warnings (missing or unusable bitmaps), then the polygons left out.
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // the destination first
};

// Stages the model's files into `set`, the main file at `destination` and the others beside it
// (see StageGltf and StageObj); the caller commits the set. Throws Error when the model does not
// fit the format or a file cannot be staged (two of the export's files of one name included),
// and ExportCancelled when options.cancelled says so.
StagedExport StageExport(const render::Model& model, const std::filesystem::path& destination,
                         const ExportOptions& options, StagedFiles& set);

}  // namespace durvane::exporting
