// Fuzz entry point for `durvane info` on OPT files: any bytes described and formatted as text
// and as JSON, as the command does. DescribeOpt never throws for a bad file, so any exception,
// crash or sanitizer report is a finding; so is a report that contradicts itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "info/opt_report.h"
#include "info/opt_report_format.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "info_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  const durvane::info::OptReport report = durvane::info::DescribeOpt(input);
  Check(report.file_bytes == size, "file size");
  Check(report.valid() == report.counts.has_value(), "a valid file has counts, an invalid none");
  Check(report.entries.size() <= static_cast<std::size_t>(report.NodeCount),
        "more entries than NodeCount");

  const std::string text = durvane::info::OptReportText("fuzz.opt", report);
  const std::string json = durvane::info::OptReportJson("fuzz.opt", report);
  Check(!text.empty(), "empty text report");
  Check(json.size() >= 3 && json.front() == '{' && json.substr(json.size() - 2) == "}\n",
        "JSON report is not one object");
  return 0;
}
