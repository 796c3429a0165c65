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
  return !(kWindowsNames && WindowsRefusesName(name));
}

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    char32_t value = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, value = c & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not UTF-8.
    const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

bool WindowsRefusesName(std::string_view name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ' || !IsUtf8(name)) return true;
  // The device names are reserved with any extension, and Windows ignores spaces before it.
  std::string stem;
  for (char c : name.substr(0, name.find('.'))) stem.push_back(Lower(c));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : {"con", "prn", "aux", "nul"}) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

std::string FileNameKey(std::string_view name) {
  std::string key(name);
  if (kWindowsNames) {
    for (char& c : key) c = Lower(c);
  }
  return key;
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

std::string AsciiLower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = Lower(c);
  return lowered;
}

ModelFileKind ModelFileKindOf(const std::filesystem::path& path) {
  const std::string extension = AsciiLower(path.extension().string());
  if (extension == ".opt") return ModelFileKind::kOpt;
  if (extension == ".prj") return ModelFileKind::kPrj;
  return ModelFileKind::kOther;
}

}  // namespace durvane
