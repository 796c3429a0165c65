// Fuzz entry point for `durvane info`: any bytes described as an OPT file and as a PRJ file, and
// each report formatted as text and as JSON, as the command does. The reports never throw for
// a bad file, so any exception, crash or sanitizer report is a finding; so is a report that
// contradicts itself or the merge's reading of the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "core/error.h"
#include "info/opt_report.h"
#include "info/opt_report_format.h"
#include "info/prj_report.h"
#include "prj/prj_layout_reader.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "info_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

void CheckJsonObject(const std::string& json) {
  Check(json.size() >= 3 && json.front() == '{' && json.substr(json.size() - 2) == "}\n",
        "JSON report is not one object");
}

void DescribeAsPrj(std::span<const std::byte> input) {
  const durvane::info::PrjReport report = durvane::info::DescribePrj(input);
  bool merge_accepts = true;
  try {
    durvane::prj::ReadPrjLayout(input);
  } catch (const durvane::Error&) {
    merge_accepts = false;
  }
  Check(report.valid() == merge_accepts, "info and the merge disagree on the PRJ file");
  if (report.valid()) {
    Check(report.blocks.size() == durvane::prj::kPrjBlockCount, "a valid file lacks blocks");
    for (const durvane::info::PrjBlockSummary& b : report.blocks) {
      Check(b.optional || (b.present && b.complete), "a valid file has an incomplete block");
    }
  }
  Check(!durvane::info::PrjReportText("fuzz.prj", report).empty(), "empty text report");
  CheckJsonObject(durvane::info::PrjReportJson("fuzz.prj", report));
}

void DescribeAsOpt(std::span<const std::byte> input, std::size_t size) {
  const durvane::info::OptReport report = durvane::info::DescribeOpt(input);
  Check(report.file_bytes == size, "file size");
  Check(report.valid() == report.counts.has_value(), "a valid file has counts, an invalid none");
  Check(report.entries.size() <= static_cast<std::size_t>(report.node_count),
        "more entries than NodeCount");

  Check(!durvane::info::OptReportText("fuzz.opt", report).empty(), "empty text report");
  CheckJsonObject(durvane::info::OptReportJson("fuzz.opt", report));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  DescribeAsOpt(input, size);
  DescribeAsPrj(input);
  return 0;
}
