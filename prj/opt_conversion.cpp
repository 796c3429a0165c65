#include "prj/opt_conversion.h"

#include "opt/opt_scan.h"
#include "prj/prj_builder.h"

namespace durvane {

std::vector<opt::TextureBitmap> ScanTextures(const opt::OptImage& image,
                                             std::vector<std::string>& warnings) {
  std::vector<opt::TextureBitmap> textures = opt::ScanOpt(image, warnings);
  for (const opt::TextureBitmap& t : textures) {
    if (!t.HasSafeFileName()) {
      warnings.push_back("texture \"" + t.PrintableName() +
                         "\" gets no bitmap: its name cannot be a file name");
    }
  }
  return textures;
}

ConvertedModel ConvertOpt(std::span<const std::byte> opt_bytes,
                          const ConversionProgress& progress) {
  ConvertedModel model;
  const opt::OptImage image(opt_bytes);
  model.textures = ScanTextures(image, model.warnings);
  if (progress) progress(ConversionStage::kScanned);
  model.prj = prj::BuildPrj(image, model.warnings);
  if (progress) progress(ConversionStage::kBuilt);
  return model;
}

ConversionCounts CountConversion(std::span<const std::byte> opt_bytes) {
  ConversionCounts counts;
  const opt::OptImage image(opt_bytes);
  ScanTextures(image, counts.warnings);
  counts.prj = prj::CountPrjSections(image, prj::CountPrjPolygons(image), counts.warnings);
  return counts;
}

}  // namespace durvane
