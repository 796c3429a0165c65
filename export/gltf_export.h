// A model written as glTF 2.0: its drawn polygons split into triangles as the renderer splits
// them, one primitive per material, the positions as the file holds them (z up) under a node
// that turns them y up, as glTF has it.
#pragma once

#include <cstddef>

#include "export/drawn_polygons.h"
#include "export/export_files.h"
#include "export/export_materials.h"
#include "render/model.h"

namespace durvane::exporting {

// Stages the model into `files`: as binary glTF in the destination alone, the bitmaps in it
// (`binary`), or as JSON glTF in the destination, with its buffer in "<stem>.bin" and the
// bitmaps as "<material>.png" beside it. Returns how many polygons were left out, as the
// renderer leaves them out. Throws Error when the model does not fit the format (a binary file
// holds at most 4 GiB, a primitive at most 2^32 corners) or a file cannot be staged, and
// ExportCancelled when `cancelled` says so.
std::size_t StageGltf(const render::Model& model, const ExportMaterials& materials, bool binary,
                      const CancelCheck& cancelled, ExportFiles& files);

}  // namespace durvane::exporting
