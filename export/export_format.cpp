#include "export/export_format.h"

#include <utility>

namespace durvane::exporting {
namespace {

constexpr std::pair<std::string_view, ExportFormat> kFormats[] = {
    {"glb", ExportFormat::kGlb}, {"gltf", ExportFormat::kGltf}, {"obj", ExportFormat::kObj}};

}  // namespace

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  for (const auto& [text, format] : kFormats) {
    if (name == text) return format;
  }
  return std::nullopt;
}

std::string_view ExtensionOf(ExportFormat format) {
  switch (format) {
    case ExportFormat::kGlb:
      return ".glb";
    case ExportFormat::kGltf:
      return ".gltf";
    case ExportFormat::kObj:
      return ".obj";
  }
  return ".glb";
}

}  // namespace durvane::exporting
