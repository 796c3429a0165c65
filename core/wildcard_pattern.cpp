#include "core/wildcard_pattern.h"

#include <algorithm>
#include <cstddef>
#include <tuple>

#include "core/printable_text.h"

namespace durvane {
namespace {

// Above every code point: a byte that is not part of valid UTF-8 stands for itself alone.
constexpr char32_t kStrayByte = 0x110000;

// The small letter of a capital, for the scripts file names most often use; any other
// character as it is. Windows compares names through a table of capitals; folding both sides
// to small letters gives the same answer for these pairs.
char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // À to Þ, less ×
  if (c == 0x178) return 0xFF;                             // Ÿ
  // Latin Extended-A: capitals and small letters alternate, the capital first, with the
  // alternation shifted by one from Ĺ to Ň and from Ź to Ž. The Turkish İ and ı are left alone:
  // their partners are the ASCII i and I.
  const bool odd_first = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    return (c % 2 == 1) == odd_first ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek Α to Ω
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic А to Я
  if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic Ѐ to Џ
  return c;
}

// The characters of `text`, case folded.
std::u32string FoldedCharacters(std::string_view text) {
  std::u32string out;
  while (!text.empty()) {
    const std::size_t n = Utf8SequenceLength(text);
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(text[i] & 0xFF); };
    char32_t c = 0;
    switch (n) {
      case 1:
        c = byte(0);
        break;
      case 2:
        c = ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        break;
      case 3:
        c = ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        break;
      case 4:
        c = ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
            (byte(3) & 0x3F);
        break;
      default:
        c = kStrayByte + byte(0);
        break;
    }
    out.push_back(FoldCase(c));
    text.remove_prefix(n == 0 ? 1 : n);
  }
  return out;
}

// Matches with one remembered star: on a mismatch the last `*` takes one more character. A
// later star makes every earlier choice final, so this never tries more than pattern length
// times name length steps.
bool Matches(std::u32string_view pattern, std::u32string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t star = std::u32string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != std::u32string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

PathTail SplitLastComponent(std::string_view path) {
  std::size_t cut = path.find_last_of("\\/");
  if (cut != std::string_view::npos) {
    ++cut;
  } else if (path.size() >= 2 && path[1] == ':' &&
             ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    cut = 2;
  } else {
    cut = 0;
  }
  return {path.substr(0, cut), path.substr(cut)};
}

bool FolderHasWildcard(std::string_view folder) {
  if (folder.starts_with("\\\\?\\")) folder.remove_prefix(4);
  return HasWildcard(folder);
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  const std::u32string folded_pattern = FoldedCharacters(pattern);
  const std::u32string folded_name = FoldedCharacters(name);
  if (Matches(folded_pattern, folded_name)) return true;
  const std::u32string_view whole = folded_pattern;
  return whole.ends_with(U".*") && Matches(whole.substr(0, whole.size() - 2), folded_name);
}

std::vector<std::string> SelectMatches(std::string_view pattern, std::vector<std::string> names) {
  std::erase_if(names, [&](const std::string& name) { return !MatchesWildcard(pattern, name); });
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::forward_as_tuple(FoldedCharacters(a), a) <
           std::forward_as_tuple(FoldedCharacters(b), b);
  });
  return names;
}

}  // namespace durvane
