#include "app/window/error_headline.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <optional>
#include <regex>

#include "core/platform.h"
#include "usecases/merge_run.h"

namespace durvane::window {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The value of the hex digits `digits`, or none when they do not fit.
std::optional<unsigned long long> Hex(const std::string& digits) {
  if (digits.empty() || digits.size() > 16) return std::nullopt;
  return std::stoull(digits, nullptr, 16);
}

// "it ends at byte 100, inside the node tree" when `detail` says the file is cut short;
// empty otherwise.
std::string CutShort(const std::string& detail) {
  static const std::regex ends("the file ends at 0x([0-9a-fA-F]+)");
  std::smatch match;
  if (!std::regex_search(detail, match, ends)) return {};
  const std::optional<unsigned long long> size = Hex(match[1].str());
  if (!size) return {};
  std::string reason = "it ends at byte " + std::to_string(*size);
  const std::string lower = Lower(detail);
  if (lower.find("node") != std::string::npos) {
    reason += ", inside the node tree";
  } else if (lower.find("section") != std::string::npos) {
    reason += ", inside a section";
  }
  return reason;
}

// The innermost part of a message built as "context: context: what".
std::string Innermost(const std::string& message) {
  const std::size_t colon = message.rfind(": ");
  return colon == std::string::npos ? message : message.substr(colon + 2);
}

}  // namespace

std::string ConversionHeadline(const std::string& opt_path, const std::string& message) {
  if (message.empty()) return opt_path + " could not be converted.";
  if (Lower(message) == "out of memory") {
    return opt_path + " could not be converted: the computer ran out of memory.";
  }
  // A file that breaks the OPT layout: "offset 0x59f: what is wrong".
  static const std::regex at_offset("^offset 0x([0-9a-fA-F]+): ([\\s\\S]*)$");
  std::smatch format;
  if (std::regex_match(message, format, at_offset)) {
    const std::string detail = format[2].str();
    const std::string cut = CutShort(detail);
    const std::optional<unsigned long long> offset = Hex(format[1].str());
    const std::string reason =
        !cut.empty() ? cut
        : offset     ? Innermost(detail) + " (at byte " + std::to_string(*offset) + ")"
                     : Innermost(detail);
    return opt_path + " is not a valid OPT file: " + reason + ".";
  }
  return opt_path + " could not be converted: " + Innermost(message) + ".";
}

std::string MergeHeadline(const std::string& first, const std::string& second,
                          const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return second + " could not be merged into " + first + ": the computer ran out of memory.";
  }
  if (const auto* failed = dynamic_cast<const merge::MergeFileError*>(&error)) {
    const std::string file = platform::PathBytes(failed->file());
    const std::string& detail = failed->detail();
    const std::string cut = CutShort(detail);
    if (!cut.empty()) return file + " is not a valid PRJ file: " + cut + ".";
    if (detail.starts_with("cannot ")) {
      return file + " could not be merged: " + Innermost(detail) + ".";
    }
    return file + " cannot be merged: " + Innermost(detail) + ".";
  }
  const std::string message = error.what();
  return second + " could not be merged into " + first +
         (message.empty() ? std::string(".") : ": " + Innermost(message) + ".");
}

}  // namespace durvane::window
