// A model written as Wavefront OBJ: each drawn polygon one face, its corners in the renderer's
// order, the positions as the file holds them (z up), and an MTL file naming each material's
// PNG file.
#pragma once

#include <cstddef>

#include "export/drawn_polygons.h"
#include "export/export_files.h"
#include "export/export_materials.h"
#include "render/model.h"

namespace durvane::exporting {

// Stages the model into `files`: the OBJ file in the destination, "<stem>.mtl" and the bitmaps as
// "<material>.png" beside it. OBJ counts texture rows from the bottom, so a corner pair (u, v)
// is written as (u, 1 - v). Returns how many polygons were left out, as the renderer leaves
// them out. Throws Error when a file cannot be staged, and ExportCancelled when `cancelled`
// says so.
std::size_t StageObj(const render::Model& model, const ExportMaterials& materials,
                     const CancelCheck& cancelled, ExportFiles& files);

}  // namespace durvane::exporting
