// The file formats a model is exported to, by name and by extension.
#pragma once

#include <optional>
#include <string_view>

namespace durvane::exporting {

enum class ExportFormat {
  kGlb,   // binary glTF 2.0: one file, the bitmaps in it
  kGltf,  // glTF 2.0 as JSON, with a .bin file and the bitmaps as PNG files beside it
  kObj,   // Wavefront OBJ, with an MTL file and the bitmaps as PNG files beside it
};

// "glb", "gltf" or "obj"; none for another text.
std::optional<ExportFormat> ParseExportFormat(std::string_view name);

// The extension of the main file, with its dot: ".glb", ".gltf" or ".obj".
std::string_view ExtensionOf(ExportFormat format);

}  // namespace durvane::exporting
