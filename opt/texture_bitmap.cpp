#include "opt/texture_bitmap.h"

#include "core/file_names.h"

namespace durvane::opt {

std::string TextureBitmap::FileName() const {
  std::string out;
  for (std::byte b : name) out.push_back(static_cast<char>(b));
  return out + ".BMP";
}

std::string_view TextureBitmap::NameView() const {
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

bool TextureBitmap::HasSafeFileName() const {
  return IsSafeFileName(NameView());
}

std::string TextureBitmap::PrintableName() const {
  return durvane::PrintableName(NameView());
}

}  // namespace durvane::opt
