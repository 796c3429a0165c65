#include "export/export_materials.h"

#include <cctype>
#include <set>
#include <span>

#include "render/png_codec.h"
#include "render/renderer.h"  // kFlatColour

namespace durvane::exporting {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The bitmap's name less its extension, with every byte but ASCII letters, digits, '_' and '-'
// made '_', so that it is a file name and a material name everywhere; made unique among `used`
// in any letter case, as file systems may not tell letter cases apart.
std::string MaterialName(const std::string& bitmap_name, std::set<std::string>& used) {
  std::string stem = bitmap_name.substr(0, bitmap_name.rfind('.'));
  for (char& c : stem) {
    const auto u = static_cast<unsigned char>(c);
    if (!(u < 0x80 && (std::isalnum(u) || c == '_' || c == '-'))) c = '_';
  }
  if (stem.empty()) stem = "bitmap";
  std::string name = stem;
  for (int n = 2; !used.insert(Lower(name)).second; ++n) name = stem + "_" + std::to_string(n);
  return name;
}

}  // namespace

ExportMaterials MakeMaterials(const render::Model& model) {
  ExportMaterials result;
  std::set<std::string> used;
  const std::vector<std::string>& names = model.bitmap_names();
  for (std::size_t i = 0; i < names.size(); ++i) {
    ExportMaterial m;
    m.name = MaterialName(names[i], used);
    m.textured = model.bitmap(static_cast<std::uint32_t>(i)) != nullptr;
    if (!m.textured) m.colour = render::kFlatColour;
    result.materials.push_back(std::move(m));
  }
  result.materials.push_back({.name = MaterialName("plain", used), .colour = render::kFlatColour});
  const std::size_t count = result.materials.size();
  result.pngs = std::async(std::launch::async, [&model, count] {
                  std::vector<std::vector<std::byte>> pngs(count);
                  for (std::uint32_t i = 0; i + 1 < count; ++i) {
                    if (const render::Bitmap* bitmap = model.bitmap(i)) {
                      pngs[i] = render::EncodeBitmapPng(*bitmap);
                    }
                  }
                  return pngs;
                }).share();
  return result;
}

void StagePngFiles(const ExportMaterials& materials, ExportFiles& files) {
  for (std::size_t i = 0; i < materials.materials.size(); ++i) {
    if (!materials.materials[i].textured) continue;
    const std::span<const std::byte> png[] = {materials.Png(i)};
    files.Stage(files.Beside(materials.materials[i].PngName()), png);
  }
}

}  // namespace durvane::exporting
