#include "export/drawn_polygons.h"

namespace durvane::exporting {

std::vector<std::string> ExportWarnings(const render::Model& model, std::size_t left_out) {
  std::vector<std::string> warnings = model.warnings();
  if (left_out > 0) warnings.push_back(render::LeftOutWarning(left_out, model.size()));
  if (left_out == model.size()) {
    warnings.push_back("the model has no polygon to export: the files hold no geometry");
  }
  return warnings;
}

}  // namespace durvane::exporting
