#include "export/model_export.h"

#include "export/export_files.h"
#include "export/export_materials.h"
#include "export/gltf_export.h"
#include "export/obj_export.h"

namespace durvane::exporting {

StagedExport StageExport(const render::Model& model, const std::filesystem::path& destination,
                         const ExportOptions& options, StagedFiles& set) {
  const ExportMaterials materials = MakeMaterials(model);
  ExportFiles files(set, destination);
  const std::size_t left_out =
      options.format == ExportFormat::kObj
          ? StageObj(model, materials, options.cancelled, files)
          : StageGltf(model, materials, options.format == ExportFormat::kGlb, options.cancelled,
                      files);
  return {ExportWarnings(model, left_out), files.staged()};
}

}  // namespace durvane::exporting
