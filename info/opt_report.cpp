#include "info/opt_report.h"

#include "core/error.h"
#include "opt/opt_image.h"
#include "opt/opt_scan.h"
#include "opt/polygon_walk.h"
#include "prj/opt_conversion.h"
#include "prj/prj_layout.h"

namespace durvane::info {

using namespace opt;
namespace {

// A polygon walk visitor that records what each top-level entry holds.
class EntryRecorder {
 public:
  EntryRecorder(const OptImage& image, std::vector<TopLevelSummary>& entries)
      : image_(image), entries_(entries) {}

  // Adds the summary of the next top-level entry: its address and its child slots.
  void AddEntry() {
    TopLevelSummary s;
    s.entry = static_cast<std::int32_t>(entries_.size()) + 1;
    s.address = image_.TopLevelEntry(s.entry);
    s.child_count = image_.ChildCount(s.address);
    for (std::int32_t j = 1; j <= s.child_count; ++j) {
      if (image_.InPlaceChild(s.address, j) == 0) ++s.empty_slots;
    }
    entries_.push_back(std::move(s));
  }

  void TopLevelChild(std::int32_t index, std::int32_t address, std::int32_t type) {
    TopLevelSummary& e = Entry(index);
    ++e.children_by_type[type];
    if (type == kVertexListNode) e.vertex_lists.push_back({address, image_.DataCount(address)});
    if (type == kPairListNode) e.pair_lists.push_back({address, image_.DataCount(address)});
  }
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t index, const PolygonListNode& node) {
    Entry(index).polygons += node.rows;
  }

 private:
  // Entries are met in order; one without children the walk reports still gets a summary
  // once a later entry is met.
  TopLevelSummary& Entry(std::int32_t index) {
    while (static_cast<std::int32_t>(entries_.size()) <= index) AddEntry();
    return entries_[static_cast<std::size_t>(index)];
  }

  const OptImage& image_;
  std::vector<TopLevelSummary>& entries_;
};

TextureSummary Summarise(const TextureBitmap& t) {
  TextureSummary s;
  s.name = t.PrintableName();
  s.layout = t.layout;
  s.width = t.width;
  s.height = t.height;
  s.pixel_count = static_cast<std::int64_t>(t.pixels.size());
  s.safe_file_name = t.HasSafeFileName();
  return s;
}

}  // namespace

OptReport DescribeOpt(std::span<const std::byte> bytes) {
  OptReport report;
  report.file_bytes = bytes.size();
  try {
    // The conversion's own checks and build, with the counts its writers report: nothing of
    // the PRJ file is held, however large it would be.
    const ConversionCounts conversion = CountConversion(bytes);
    PrjCounts counts;
    counts.polygon_count = conversion.prj.polygons;
    counts.ff03_count = conversion.prj.ff03;
    counts.ff04_records = conversion.prj.ff04;
    counts.ff05_records = conversion.prj.ff05;
    counts.ff08_count = conversion.prj.ff08;
    counts.prj_bytes = conversion.prj.bytes;
    report.counts = counts;
    report.warnings = conversion.warnings;
  } catch (const Error& e) {
    report.error = e.what();
  }

  // The details below come from the same walks; they stop where the conversion stopped.
  try {
    const OptImage image(bytes);
    report.header_read = true;
    report.opt_base = image.OptBase();
    report.node_count = image.NodeCount();
    try {
      EntryRecorder recorder(image, report.entries);
      WalkPolygons(image, recorder);
      while (static_cast<std::int32_t>(report.entries.size()) < image.NodeCount()) {
        recorder.AddEntry();
      }
    } catch (const Error&) {
    }
    try {
      std::vector<std::string> ignored;
      for (const TextureBitmap& t : ScanOpt(image, ignored))
        report.textures.push_back(Summarise(t));
    } catch (const Error&) {
    }
  } catch (const Error&) {
  }
  return report;
}

}  // namespace durvane::info
