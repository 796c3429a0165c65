// The materials of an exported model: one per bitmap the model names, its bitmap as a PNG file,
// and a plain one for polygons without a usable bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/model.h"

namespace durvane::exporting {

struct ExportMaterial {
  // Letters, digits, '_' and '-' only, and unique in the model in any letter case: a material
  // name of every format, and the stem of its PNG file's name.
  std::string name;
  // The bitmap as an 8-bit RGBA PNG file, its first stored row on top; empty when the material
  // is plain (the bitmap is missing or unusable).
  std::vector<std::byte> png;
  render::Rgb colour{255, 255, 255};  // multiplies the bitmap; alone when plain

  bool textured() const { return !png.empty(); }
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
};

// The model's materials, each usable bitmap encoded as PNG. Throws Error when encoding fails.
ExportMaterials MakeMaterials(const render::Model& model);

}  // namespace durvane::exporting
