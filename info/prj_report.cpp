#include "info/prj_report.h"

#include <algorithm>

#include "core/error.h"
#include "core/file_window.h"
#include "core/little_endian.h"
#include "info/json_writer.h"
#include "info/report_common.h"
#include "opt/opt_layout.h"
#include "opt/opt_signature.h"
#include "prj/prj_layout_reader.h"

namespace durvane::info {

namespace {

// Whether a file that is not a PRJ file looks like an OPT file, reading no more of it than
// that check looks at: the OPT header and the top-level table it announces.
bool FileLooksLikeOpt(const InputFile& file) {
  const std::uint64_t size = file.size();
  std::vector<std::byte> head(
      static_cast<std::size_t>(std::min<std::uint64_t>(size, opt::kTopLevelTableOffset + 4)));
  head.resize(file.ReadSome(0, head));
  if (head.size() == opt::kTopLevelTableOffset + 4) {
    const std::int32_t node_count = LoadI32(head.data() + opt::kNodeCountOffset);
    // A count the check refuses needs no table; any other, its table as far as the file goes.
    const std::uint64_t entries =
        node_count >= 1 && node_count <= (1 << 20) ? static_cast<std::uint64_t>(node_count) : 1;
    head.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(size, opt::kTopLevelTableOffset + 4 * entries)));
    head.resize(file.ReadSome(0, head));
  }
  return opt::LooksLikeOpt(head, size);
}

// The report of a layout scan of a file of `file_bytes` bytes; `looks_like_opt` says whether a
// file whose layout is broken looks like an OPT file.
PrjReport Describe(const prj::PrjLayoutScan& scan, std::uint64_t file_bytes, bool looks_like_opt) {
  using prj::PrjBlockKind;
  PrjReport report;
  report.file_bytes = file_bytes;
  report.error = scan.error;
  if (report.error && looks_like_opt) {
    report.error = "not a PRJ file: it looks like an OPT file; " + *report.error;
  }
  const std::int32_t polygons = scan.layout.polygon_count();
  for (PrjBlockKind kind : prj::kPrjBlockOrder) {
    const prj::PrjBlock& b = scan.layout[kind];
    PrjBlockSummary s;
    s.name = prj::BlockName(kind);
    s.tag = prj::BlockTag(kind);
    s.present = b.present;
    s.optional = prj::BlockIsOptional(kind);
    s.complete = b.complete;
    s.offset = b.offset;
    s.count_field = b.count_field;
    s.records = b.record_count;
    s.record_bytes = b.complete ? b.records_bytes() : 0;
    s.min_index = b.min_index;
    s.max_index = b.max_index;
    report.blocks.push_back(s);
    if (b.present && prj::BlockIsPerPolygon(kind) && kind != PrjBlockKind::kLeading &&
        b.count_field != polygons) {
      report.warnings.push_back(s.name + ": the count field " + std::to_string(b.count_field) +
                                " disagrees with the polygon count " + std::to_string(polygons));
    }
    if (!b.complete && b.present) break;  // the walk stopped in this block
    if (!b.present && !prj::BlockIsOptional(kind)) break;
  }
  return report;
}

}  // namespace

PrjReport DescribePrj(std::span<const std::byte> bytes) {
  const prj::PrjLayoutScan scan = prj::ScanPrjLayout(bytes);
  return Describe(scan, bytes.size(), scan.error && opt::LooksLikeOpt(bytes, bytes.size()));
}

PrjReport DescribePrj(const InputFile& file) {
  const FileWindow window(file);
  const prj::PrjLayoutScan scan = prj::ScanPrjLayout(window);
  PrjReport report = Describe(scan, file.size(), scan.error && FileLooksLikeOpt(file));
  // A report of bytes from two versions of the file would describe neither.
  file.CheckUnchanged();
  return report;
}

std::string PrjReportText(const std::string& file, const PrjReport& r) {
  std::string out = file + ": PRJ file, " + std::to_string(r.file_bytes) + " bytes\n";
  for (const PrjBlockSummary& b : r.blocks) {
    out += "  " + b.name;
    if (!b.present) {
      out += b.optional ? ": absent\n" : ": missing\n";
      continue;
    }
    out += " at " + Hex(b.offset) + ": ";
    if (b.tag != 0) out += "tag " + Hex(static_cast<std::uint32_t>(b.tag)) + ", ";
    out += "count field " + std::to_string(b.count_field);
    if (!b.complete) {
      out += ", records not walked to their end\n";
      continue;
    }
    out += ", " + std::to_string(b.records) + " record(s) in " + std::to_string(b.record_bytes) +
           " bytes";
    if (b.records > 0) {
      out += ", top-level indices " + std::to_string(b.min_index) + " to " +
             std::to_string(b.max_index);
    }
    out += "\n";
  }
  AppendVerdictText(out, r.warnings, r.error, "not valid merge input", "valid merge input: yes");
  return out;
}

std::string PrjReportJson(const std::string& file, const PrjReport& r) {
  JsonWriter j;
  BeginJsonReport(j, file, "prj", r.file_bytes, r.valid());
  j.Key("blocks").BeginArray();
  for (const PrjBlockSummary& b : r.blocks) {
    j.BeginObject().Key("name").String(b.name).Key("tag").Number(b.tag);
    j.Key("optional")
        .Bool(b.optional)
        .Key("present")
        .Bool(b.present)
        .Key("complete")
        .Bool(b.complete);
    if (b.present) {
      j.Key("offset").UnsignedNumber(b.offset).Key("count_field").Number(b.count_field);
    }
    if (b.complete) {
      j.Key("records").Number(b.records).Key("record_bytes").UnsignedNumber(b.record_bytes);
      if (b.records > 0)
        j.Key("min_index").Number(b.min_index).Key("max_index").Number(b.max_index);
    }
    j.EndObject();
  }
  j.EndArray();
  return EndJsonReport(j, r.warnings, r.error);
}

}  // namespace durvane::info
