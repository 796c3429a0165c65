#include "prj/prj_layout_reader.h"

#include <algorithm>
#include <string>

#include "core/error.h"
#include "prj/prj_layout.h"

namespace durvane::prj {
namespace {

struct BlockTraits {
  std::string_view name;
  std::int32_t tag;
  std::uint32_t record_bytes;
  bool optional;
  bool per_polygon;
};

constexpr std::array<BlockTraits, kPrjBlockCount> kTraits = {{
    {"leading block", 0, kPolygonRecordBytes, false, true},
    {"section FF01", kTagFF01, kFF01RecordBytes, false, true},
    {"section FF02", kTagFF02, 0, false, true},
    {"section FF03", kTagFF03, kFF03RecordBytes, true, false},
    {"section FF04", kTagFF04, kFF04RecordBytes, false, false},
    {"section FF05", kTagFF05, kFF05RecordBytes, false, false},
    {"section FF07", kTagFF07, kFF07RecordBytes, false, true},
    {"section FF08", kTagFF08, kFF08RecordBytes, true, false},
}};

const BlockTraits& Traits(PrjBlockKind kind) {
  return kTraits[static_cast<std::size_t>(kind)];
}

std::string TagText(std::int32_t tag) {
  return Hex(static_cast<std::uint32_t>(tag));
}

std::string Plural(std::int64_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// Walks the blocks in file order; `at` is where the next block must begin. View is ByteView
// for a file in memory or FileWindow for one read as the walk goes.
template <typename View>
class LayoutWalk {
 public:
  LayoutWalk(const View& view, IndexReads reads, const FF02RecordVisitor* visit_ff02 = nullptr)
      : view_(view), reads_(reads), visit_ff02_(visit_ff02) {
    layout_.file_size = view_.size();
  }

  // The blocks as far as the walk got.
  const PrjLayout& layout() const { return layout_; }

  PrjLayout Run() {
    LeadingHeader();
    Records(PrjBlockKind::kLeading, polygon_count_);
    for (PrjBlockKind kind : kPrjBlockOrder) {
      if (kind == PrjBlockKind::kLeading) continue;
      if (!SectionHeader(kind)) continue;
      Records(kind, Traits(kind).per_polygon ? polygon_count_ : layout_[kind].count_field);
    }
    if (at_ != view_.size()) {
      throw FormatError(at_, std::string(Traits(PrjBlockKind::kFF08).name) + ": " +
                                 Plural(static_cast<std::int64_t>(view_.size() - at_), "byte") +
                                 " follow its last record; the file must end there");
    }
    return layout_;
  }

 private:
  void LeadingHeader() {
    PrjBlock& block = layout_[PrjBlockKind::kLeading];
    block.present = true;
    block.count_field = view_.Long(0, "leading block: the polygon count");
    if (block.count_field < 0) {
      throw FormatError(0, "leading block: the polygon count " + std::to_string(block.count_field) +
                               " is negative");
    }
    polygon_count_ = block.count_field;
    block.records_offset = at_ = 4;
  }

  // Reads a section's tag and count field at `at_`. Returns false, leaving the section empty
  // where it would start, when an optional section is missing.
  bool SectionHeader(PrjBlockKind kind) {
    const BlockTraits& traits = Traits(kind);
    PrjBlock& block = layout_[kind];
    block.offset = block.count_offset = block.records_offset = block.end = at_;
    const bool has_tag = view_.Contains(at_, 4);
    const std::int32_t found = has_tag ? view_.LongUnchecked(at_) : 0;
    if (has_tag && found == traits.tag) {
      block.present = true;
    } else if (traits.optional && (kind == PrjBlockKind::kFF03 || !has_tag)) {
      // FF03 may give way to FF04, whose own check reports anything else; FF08 may give
      // way to the end of the file.
      if (kind == PrjBlockKind::kFF08 && view_.size() != at_) TagMismatch(kind, has_tag, found);
      return false;
    } else {
      TagMismatch(kind, has_tag, found);
    }
    const std::string what = std::string(traits.name) + ": the count field";
    block.count_offset = at_ + 4;
    block.count_field = view_.Long(block.count_offset, what);
    block.records_offset = at_ = at_ + kSectionHeaderBytes;
    // The count fields of per-polygon sections are never read, so any value passes.
    if (block.count_field < 0 && !traits.per_polygon) {
      throw FormatError(block.count_offset, std::string(traits.name) + ": the record count " +
                                                std::to_string(block.count_field) + " is negative");
    }
    return true;
  }

  [[noreturn]] void TagMismatch(PrjBlockKind kind, bool has_tag, std::int32_t found) {
    const BlockTraits& traits = Traits(kind);
    std::string expected = "the tag " + TagText(traits.tag);
    if (kind == PrjBlockKind::kFF04 && !layout_[PrjBlockKind::kFF03].present) {
      expected = "the tag " + TagText(kTagFF03) + " or " + TagText(kTagFF04);
    } else if (kind == PrjBlockKind::kFF08) {
      expected += " or the end of the file";
    }
    std::string detail = std::string(traits.name) + ": expected " + expected + " after " +
                         PreviousBlockText(kind) + ", ";
    if (has_tag) {
      detail += "found " + TagText(found);
    } else {
      detail += "but the file ends at " + Hex(view_.size());
    }
    throw FormatError(at_, detail);
  }

  // "the 3 records of section FF02": what the walk stepped over last.
  std::string PreviousBlockText(PrjBlockKind kind) const {
    auto index = static_cast<std::size_t>(kind);
    while (index > 0 && !layout_.blocks[index - 1].present) --index;
    const auto previous = static_cast<PrjBlockKind>(index - 1);
    return "the " + Plural(layout_[previous].record_count, "record") + " of " +
           (previous == PrjBlockKind::kLeading ? "the " : "") + std::string(Traits(previous).name);
  }

  void Records(PrjBlockKind kind, std::int64_t count) {
    PrjBlock& block = layout_[kind];
    if (kind == PrjBlockKind::kFF02) {
      NameRecords(block, count);
    } else {
      FixedRecords(block, Traits(kind), count);
    }
    block.record_count = count;
    block.end = at_;
    block.complete = true;
  }

  void FixedRecords(PrjBlock& block, const BlockTraits& traits, std::int64_t count) {
    const std::uint64_t length = traits.record_bytes;
    const std::uint64_t left = view_.size() - at_;
    if (static_cast<std::uint64_t>(count) > left / length) {
      throw FormatError(at_, std::string(traits.name) + ": " + Plural(count, "record") + " of " +
                                 std::to_string(length) + " bytes would end at " +
                                 Hex(at_ + static_cast<std::uint64_t>(count) * length) +
                                 ", but the file ends at " + Hex(view_.size()));
    }
    if (reads_ == IndexReads::kAll || !traits.per_polygon) {
      for (std::int64_t r = 0; r < count; ++r) {
        NoteIndex(block, view_.LongUnchecked(at_), r);
        at_ += length;
      }
    } else if (count > 0) {
      at_ += static_cast<std::uint64_t>(count - 1) * length;
      block.min_index = block.max_index = block.last_index = view_.LongUnchecked(at_);
      at_ += length;
    }
  }

  void NameRecords(PrjBlock& block, std::int64_t count) {
    std::int64_t r = 0;
    try {
      for (; r < count; ++r) {
        NoteIndex(block, view_.Long(at_, "the top-level index"), r);
        const std::uint64_t length = FF02RecordBytes(view_, at_);
        if (visit_ff02_ != nullptr) (*visit_ff02_)(view_.Bytes(at_, length, "the record"), count);
        at_ += length;
      }
    } catch (const Error&) {
      RethrowWithContext("section FF02, record " + std::to_string(r + 1) + " of " +
                         std::to_string(count) + " at " + Hex(at_));
    }
  }

  static void NoteIndex(PrjBlock& block, std::int32_t index, std::int64_t record) {
    block.min_index = record == 0 ? index : std::min(block.min_index, index);
    block.max_index = record == 0 ? index : std::max(block.max_index, index);
    block.last_index = index;
  }

  const View& view_;
  IndexReads reads_;
  const FF02RecordVisitor* visit_ff02_;  // null: none
  PrjLayout layout_;
  std::uint64_t at_ = 0;
  std::int32_t polygon_count_ = 0;
};

// The blocks as far as the walk got, and the FormatError that stopped it.
template <typename View>
PrjLayoutScan Scan(const View& view) {
  PrjLayoutScan scan;
  LayoutWalk<View> walk(view, IndexReads::kAll);
  try {
    scan.layout = walk.Run();
  } catch (const FormatError& e) {
    scan.layout = walk.layout();
    scan.error = e.what();
  }
  return scan;
}

}  // namespace

std::string_view BlockName(PrjBlockKind kind) {
  return Traits(kind).name;
}
std::int32_t BlockTag(PrjBlockKind kind) {
  return Traits(kind).tag;
}
std::uint32_t BlockRecordBytes(PrjBlockKind kind) {
  return Traits(kind).record_bytes;
}
bool BlockIsOptional(PrjBlockKind kind) {
  return Traits(kind).optional;
}
bool BlockIsPerPolygon(PrjBlockKind kind) {
  return Traits(kind).per_polygon;
}

PrjLayout ReadPrjLayout(std::span<const std::byte> bytes) {
  const ByteView view(bytes);
  return LayoutWalk<ByteView>(view, IndexReads::kAll).Run();
}

PrjLayout ReadPrjLayout(const FileWindow& file, IndexReads reads,
                        const FF02RecordVisitor& visit_ff02) {
  return LayoutWalk<FileWindow>(file, reads, visit_ff02 ? &visit_ff02 : nullptr).Run();
}

PrjLayoutScan ScanPrjLayout(std::span<const std::byte> bytes) {
  const ByteView view(bytes);
  return Scan(view);
}

PrjLayoutScan ScanPrjLayout(const FileWindow& file) {
  return Scan(file);
}

template <typename View>
std::uint64_t FF02RecordBytes(const View& view, std::uint64_t offset) {
  view.Require(offset, 4, "the top-level index");
  std::uint64_t at = offset + 4;
  const std::uint8_t flag = view.Byte(at, "the flag");
  at += 1;
  // Names for messages, kept static so that the walk allocates nothing per record.
  static constexpr std::string_view kLengthNames[] = {
      "the length of string 1", "the length of string 2", "the length of string 3",
      "the length of string 4"};
  static constexpr std::string_view kStringNames[] = {"string 1", "string 2", "string 3",
                                                      "string 4"};
  const int strings = flag == kFF02FourTextures ? 4 : 1;
  for (int s = 0; s < strings; ++s) {
    const std::uint8_t length = view.Byte(at, kLengthNames[s]);
    at += 1;
    view.Require(at, length, kStringNames[s]);
    at += length;
  }
  view.Require(at, kFF02TailBytes, "the 40-byte tail");
  return at + kFF02TailBytes - offset;
}

template std::uint64_t FF02RecordBytes(const ByteView&, std::uint64_t);
template std::uint64_t FF02RecordBytes(const FileWindow&, std::uint64_t);

}  // namespace durvane::prj
