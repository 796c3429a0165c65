// The parts every report shares: its opening facts, its warnings and its verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "info/json_writer.h"

namespace durvane::info {

// "  warning: ..." lines, then "  <error_label>: <error>" or the line `ok_line`.
void AppendVerdictText(std::string& out, const std::vector<std::string>& warnings,
                       const std::optional<std::string>& error, std::string_view error_label,
                       std::string_view ok_line);

// Opens the report object with its file, kind, size and validity.
void BeginJsonReport(JsonWriter& j, const std::string& file, std::string_view kind,
                     std::uint64_t bytes, bool valid);
// Adds the warnings and the error (or null), closes the object and returns the document line.
std::string EndJsonReport(JsonWriter& j, const std::vector<std::string>& warnings,
                          const std::optional<std::string>& error);

}  // namespace durvane::info
