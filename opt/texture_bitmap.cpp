#include "opt/texture_bitmap.h"

#include <cstdio>
#include <string_view>

namespace durvane::opt {

std::string TextureBitmap::FileName() const {
  std::string out;
  for (std::byte b : name) out.push_back(static_cast<char>(b));
  return out + ".BMP";
}

bool TextureBitmap::HasSafeFileName() const {
  constexpr std::string_view kForbidden = "/\\:*?\"<>|";
  for (std::byte b : name) {
    const auto c = static_cast<unsigned char>(b);
    if (c < 0x20 || c == 0x7F || kForbidden.find(static_cast<char>(c)) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

std::string TextureBitmap::PrintableName() const {
  std::string out;
  for (std::byte b : name) {
    const auto c = static_cast<unsigned char>(b);
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace durvane::opt
