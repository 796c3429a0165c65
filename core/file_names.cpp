#include "core/file_names.h"

#include <cstdio>

namespace durvane {

bool IsSafeFileName(std::string_view name) {
  constexpr std::string_view kForbidden = "/\\:*?\"<>|";
  if (name.empty() || name == "." || name == "..") return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || kForbidden.find(ch) != std::string_view::npos) return false;
  }
  return true;
}

std::string PrintableName(std::string_view name) {
  std::string out;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace durvane
