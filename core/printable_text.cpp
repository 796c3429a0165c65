#include "core/printable_text.h"

#include <cstdint>

namespace durvane {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  // Overlong forms, UTF-16 surrogates and code points past the last one are not UTF-8.
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = Utf8SequenceLength(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    const std::size_t n = Utf8SequenceLength(text);
    // U+0080 to U+009F, the C1 controls, are the two bytes C2 80 to C2 9F.
    const bool c1_control = n == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
    if (n == 0 || byte < 0x20 || byte == 0x7F || c1_control) {
      const std::size_t bad = n == 0 ? 1 : n;
      for (std::size_t i = 0; i < bad; ++i) AppendEscaped(out, static_cast<unsigned char>(text[i]));
      text.remove_prefix(bad);
      continue;
    }
    out.append(text.substr(0, n));
    text.remove_prefix(n);
  }
  return out;
}

std::string HexBytes(std::string_view text) {
  std::string out;
  out.reserve(2 * text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
  }
  return out;
}

}  // namespace durvane
