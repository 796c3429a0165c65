// The OPT report as plain text for people and as one JSON document for scripts; both carry
// the same facts.
#pragma once

#include <string>

#include "info/opt_report.h"

namespace durvane::info {

std::string OptReportText(const std::string& file, const OptReport& report);
std::string OptReportJson(const std::string& file, const OptReport& report);

// "vertex list", "group", "type 22", ...
std::string NodeTypeName(std::int32_t type);

}  // namespace durvane::info
