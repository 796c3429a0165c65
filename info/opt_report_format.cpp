#include "info/opt_report_format.h"

#include "core/error.h"
#include "info/json_writer.h"
#include "info/report_common.h"
#include "opt/opt_layout.h"

namespace durvane::info {

std::string NodeTypeName(std::int32_t type) {
  switch (type) {
    case opt::kGroupNode:
      return "group";
    case opt::kPolygonListNode:
      return "polygon list";
    case opt::kVertexListNode:
      return "vertex list";
    case opt::kTextureReferenceNode:
      return "texture reference";
    case opt::kPairListNode:
      return "pair list";
    case opt::kTextureNode:
      return "texture";
    case opt::kTextureGroupNode:
      return "texture group";
    default:
      return "type " + std::to_string(type);
  }
}

namespace {

std::string Lists(const char* what, const std::vector<ListNodeSummary>& lists) {
  std::string out;
  for (const auto& l : lists) {
    out += std::string("; ") + what + " at " + HexSigned(l.address) + " (" +
           std::to_string(l.rows) + " rows)";
  }
  return out;
}

void ListsJson(JsonWriter& j, const char* key, const std::vector<ListNodeSummary>& lists) {
  j.Key(key).BeginArray();
  for (const auto& l : lists) {
    j.BeginObject().Key("address").Number(l.address).Key("rows").Number(l.rows).EndObject();
  }
  j.EndArray();
}

}  // namespace

std::string OptReportText(const std::string& file, const OptReport& r) {
  std::string out = file + ": OPT file, " + std::to_string(r.file_bytes) + " bytes\n";
  if (r.header_read) {
    out +=
        "  OptBase " + HexSigned(r.opt_base) + ", NodeCount " + std::to_string(r.node_count) + "\n";
  }
  for (const TopLevelSummary& e : r.entries) {
    out += "  top-level entry " + std::to_string(e.entry) + ", node at " + HexSigned(e.address) +
           ": " + std::to_string(e.child_count) + " child slot(s)";
    std::string kinds;
    for (const auto& [type, n] : e.children_by_type) {
      kinds += (kinds.empty() ? "" : ", ") + NodeTypeName(type) + " " + std::to_string(n);
    }
    if (!kinds.empty()) out += " (" + kinds + ")";
    if (e.empty_slots > 0) out += ", " + std::to_string(e.empty_slots) + " empty";
    out += "\n    polygons " + std::to_string(e.polygons) + Lists("vertex list", e.vertex_lists) +
           Lists("pair list", e.pair_lists) + "\n";
  }
  out += "  textures reached by the scan: " + std::to_string(r.textures.size()) + "\n";
  for (const TextureSummary& t : r.textures) {
    out += "    \"" + t.name + "\" layout " + opt::LayoutLetter(t.layout) + ", " +
           std::to_string(t.width) + " x " + std::to_string(t.height) + ", " +
           std::to_string(t.pixel_count) + " pixels" +
           (t.safe_file_name ? "" : ", name cannot be a file name: no bitmap") + "\n";
  }
  if (r.counts) {
    const PrjCounts& c = *r.counts;
    out += "  PRJ file: " + std::to_string(c.prj_bytes) + " bytes; " +
           std::to_string(c.polygon_count) + " polygon(s) in the leading block, FF01, FF02 and " +
           "FF07; FF03 " + std::to_string(c.ff03_count) + ", FF04 " +
           std::to_string(c.ff04_records) + ", FF05 " + std::to_string(c.ff05_records) + ", FF08 " +
           std::to_string(c.ff08_count) + " record(s)\n";
  }
  AppendVerdictText(out, r.warnings, r.error, "error", "converts: yes");
  return out;
}

std::string OptReportJson(const std::string& file, const OptReport& r) {
  JsonWriter j;
  BeginJsonReport(j, file, "opt", r.file_bytes, r.valid());
  if (r.header_read) j.Key("OptBase").Number(r.opt_base).Key("NodeCount").Number(r.node_count);
  j.Key("top_level").BeginArray();
  for (const TopLevelSummary& e : r.entries) {
    j.BeginObject().Key("entry").Number(e.entry).Key("address").Number(e.address);
    j.Key("child_count").Number(e.child_count).Key("empty_slots").Number(e.empty_slots);
    j.Key("children_by_type").BeginObject();
    for (const auto& [type, n] : e.children_by_type) j.Key(std::to_string(type)).Number(n);
    j.EndObject();
    j.Key("polygons").Number(e.polygons);
    ListsJson(j, "vertex_lists", e.vertex_lists);
    ListsJson(j, "pair_lists", e.pair_lists);
    j.EndObject();
  }
  j.EndArray().Key("textures").BeginArray();
  for (const TextureSummary& t : r.textures) {
    j.BeginObject().Key("name").String(t.name).Key("layout").String(
        std::string(1, opt::LayoutLetter(t.layout)));
    j.Key("width").Number(t.width).Key("height").Number(t.height);
    j.Key("pixel_count").Number(t.pixel_count).Key("safe_file_name").Bool(t.safe_file_name);
    j.EndObject();
  }
  j.EndArray();
  if (r.counts) {
    const PrjCounts& c = *r.counts;
    j.Key("prj").BeginObject().Key("bytes").UnsignedNumber(c.prj_bytes);
    j.Key("PolygonCount").Number(c.polygon_count).Key("FF03Count").Number(c.ff03_count);
    j.Key("FF04Records").Number(c.ff04_records).Key("FF05Records").Number(c.ff05_records);
    j.Key("FF08Count").Number(c.ff08_count).EndObject();
  }
  return EndJsonReport(j, r.warnings, r.error);
}

}  // namespace durvane::info
