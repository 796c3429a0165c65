// The materials of an exported model: one per bitmap the model names, its bitmap as a PNG file,
// and a plain one for polygons without a usable bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "export/export_files.h"
#include "render/bitmap.h"
#include "render/model.h"

namespace durvane::exporting {

struct ExportMaterial {
  // Letters, digits, '_' and '-' only, and unique in the model in any letter case: a material
  // name of every format, and the stem of its PNG file's name.
  std::string name;
  bool textured = false;              // false: plain, the bitmap missing or unusable
  render::Rgb colour{255, 255, 255};  // multiplies the bitmap; alone when plain

  std::string PngName() const { return name + ".png"; }
};

struct ExportMaterials {
  // By bitmap index, then the plain material of polygons that name no bitmap.
  std::vector<ExportMaterial> materials;

  // The material of a polygon painted with bitmap `bitmap` (or render::kNoBitmap).
  std::uint32_t Of(std::uint32_t bitmap) const {
    const auto plain = static_cast<std::uint32_t>(materials.size() - 1);
    return bitmap < plain ? bitmap : plain;
  }

  // Textured material i's bitmap as an 8-bit palettised PNG file, its first stored row on top.
  // Waits for the encoding; throws Error when it failed.
  const std::vector<std::byte>& Png(std::size_t i) const { return pngs.get().at(i); }

  // By material; empty for plain ones. Encoded on a thread of its own while the caller writes
  // the geometry.
  std::shared_future<std::vector<std::vector<std::byte>>> pngs;
};

// The model's materials, their PNG files being encoded; `model` must outlive the result.
ExportMaterials MakeMaterials(const render::Model& model);

// Stages each textured material's PNG file beside the export's destination.
void StagePngFiles(const ExportMaterials& materials, ExportFiles& files);

}  // namespace durvane::exporting
