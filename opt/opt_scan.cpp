#include "opt/opt_scan.h"

namespace durvane::opt {

// Placeholder until the texture scan lands: reaches no texture.
std::vector<TextureBitmap> ScanOpt(const OptImage&, std::vector<std::string>&) {
  return {};
}

}  // namespace durvane::opt
