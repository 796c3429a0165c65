#include "prj/prj_builder.h"

#include <array>
#include <limits>
#include <optional>
#include <stdexcept>

#include "core/byte_sink.h"
#include "core/error.h"
#include "opt/polygon_walk.h"
#include "prj/corner_block_writer.h"
#include "prj/node_record_section.h"
#include "prj/prj_layout.h"
#include "prj/section_ff02_writer.h"
#include "prj/section_ff07_writer.h"

namespace durvane::prj {
namespace {

// The blocks in file order, as the builder opens them.
enum Block : std::uint8_t { kLeading, kFF01, kFF02, kFF03, kFF04, kFF05, kFF07, kFF08, kBlocks };

// A first, cheap walk that only adds up the polygon rows: it fixes the polygon count, refuses
// counts beyond the 32-bit signed range before any record is built, and sizes the output.
struct PolygonCounter {
  std::int64_t rows = 0;
  void TopLevelChild(std::int32_t, std::int32_t, std::int32_t) {}
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t, const opt::PolygonListNode& node) {
    rows += node.rows;
    if (rows > std::numeric_limits<std::int32_t>::max()) {
      throw Error("the model has more than " +
                  std::to_string(std::numeric_limits<std::int32_t>::max()) +
                  " polygons, more than a PRJ file can hold");
    }
  }
};

std::uint64_t LeadingBytes(std::int32_t polygons) {
  return 4 + static_cast<std::uint64_t>(polygons) * kPolygonRecordBytes;
}
std::uint64_t FF01Bytes(std::int32_t polygons) {
  return kSectionHeaderBytes + static_cast<std::uint64_t>(polygons) * kFF01RecordBytes;
}

// The one sequence of writers both kinds of output share. The leading block, FF01 and FF02 are
// built side by side in one walk, so that record p of each describes the same polygon; FF07
// comes after FF03 to FF05 in the file, so a second walk builds it, keeping a streamed file's
// bytes in file order. `blocks` gives a sink per block (Open) and takes it back (Close).
// Returns the record counts the writers report; the size is the caller's to fill in.
template <typename Blocks>
PrjSectionCounts BuildBlocks(const opt::OptImage& image, std::int32_t polygon_count, Blocks& blocks,
                             std::vector<std::string>& warnings, PrjRecords* records = nullptr) {
  {
    CornerBlockWriter leading(image, kLeadingBlock, blocks.Open(kLeading));
    CornerBlockWriter ff01(image, kSectionFF01, blocks.Open(kFF01));
    SectionFF02Writer ff02(image, blocks.Open(kFF02), records);
    opt::WalkPolygons(image, leading, ff01, ff02);
    leading.Finish(polygon_count);
    ff01.Finish(polygon_count);
    ff02.Finish(polygon_count, warnings);
  }
  blocks.Close(kLeading);
  blocks.Close(kFF01);
  blocks.Close(kFF02);

  PrjSectionCounts counts;
  counts.polygons = polygon_count;
  counts.ff03 = WriteNodeRecordSection(image, kSectionFF03, blocks.Open(kFF03), warnings);
  blocks.Close(kFF03);
  counts.ff04 = WriteNodeRecordSection(image, kSectionFF04, blocks.Open(kFF04), warnings);
  blocks.Close(kFF04);
  counts.ff05 = WriteNodeRecordSection(image, kSectionFF05, blocks.Open(kFF05), warnings);
  blocks.Close(kFF05);
  {
    SectionFF07Writer ff07(blocks.Open(kFF07));
    opt::WalkPolygons(image, ff07);
    ff07.Finish(polygon_count);
  }
  blocks.Close(kFF07);
  counts.ff08 = WriteNodeRecordSection(image, kSectionFF08, blocks.Open(kFF08), warnings);
  blocks.Close(kFF08);
  return counts;
}

// Every block in a sink of its own, sized up front from the polygon count.
class BlocksInMemory {
 public:
  BlocksInMemory(PrjImage& prj, std::int32_t polygons) : prj_(prj) {
    const auto p = static_cast<std::uint64_t>(polygons);
    prj_.leading.Reserve(LeadingBytes(polygons));
    prj_.ff01.Reserve(FF01Bytes(polygons));
    prj_.ff02.Reserve(kSectionHeaderBytes + p * kFF02FourTextureRecordBytes);
    prj_.ff07.Reserve(kSectionHeaderBytes + p * kFF07RecordBytes);
  }
  ByteSink& Open(Block block) {
    std::array<ByteSink*, kBlocks> sinks = {&prj_.leading, &prj_.ff01, &prj_.ff02, &prj_.ff03,
                                            &prj_.ff04,    &prj_.ff05, &prj_.ff07, &prj_.ff08};
    return *sinks[block];
  }
  void Close(Block) {}

 private:
  PrjImage& prj_;
};

// Streaming sinks that spill at their block's file offset. The leading block and FF01 have
// sizes fixed by the polygon count, so FF01 and FF02 know where they start while the leading
// block is still being built; every later block starts where the one before it ended.
class StreamedBlocks {
 public:
  StreamedBlocks(const PrjWrite& write, std::int32_t polygons, std::size_t chunk_bytes)
      : write_(write), chunk_bytes_(chunk_bytes) {
    base_[kLeading] = 0;
    base_[kFF01] = LeadingBytes(polygons);
    base_[kFF02] = base_[kFF01] + FF01Bytes(polygons);
  }
  ByteSink& Open(Block block) {
    if (block > kFF02) base_[block] = end_;
    const std::uint64_t base = base_[block];
    sinks_[block].emplace(
        [this, base](std::uint64_t offset, ByteBuffer bytes) {
          return write_(base + offset, std::move(bytes));
        },
        chunk_bytes_);
    return *sinks_[block];
  }
  void Close(Block block) {
    ByteSink& sink = *sinks_[block];
    sink.Flush();
    end_ = base_[block] + sink.size();
    if (block < kFF02 && end_ != base_[block + 1]) {
      throw std::logic_error("a fixed-size PRJ block came out at another size");
    }
    sinks_[block].reset();
  }
  std::uint64_t end() const { return end_; }

 private:
  const PrjWrite& write_;
  std::size_t chunk_bytes_;
  std::array<std::uint64_t, kBlocks> base_{};
  std::array<std::optional<ByteSink>, kBlocks> sinks_;
  std::uint64_t end_ = 0;
};

}  // namespace

std::uint64_t MaxPrjBytes(std::uint64_t input_bytes) {
  constexpr std::uint64_t kFloor = std::uint64_t{1} << 30;
  constexpr std::uint64_t kPerInputByte = 64;
  return std::max(kFloor, kPerInputByte * input_bytes);
}

std::int32_t CountPrjPolygons(const opt::OptImage& image) {
  PolygonCounter counter;
  opt::WalkPolygons(image, counter);
  const auto polygons = static_cast<std::uint64_t>(counter.rows);
  const std::uint64_t polygon_bytes = polygons * (kPolygonRecordBytes + kFF01RecordBytes +
                                                  kFF02FourTextureRecordBytes + kFF07RecordBytes);
  if (polygon_bytes > MaxPrjBytes(image.view().size())) {
    throw Error("the model's " + std::to_string(polygons) +
                " polygons would make a PRJ file of up to " + std::to_string(polygon_bytes) +
                " bytes, far more than an OPT file of " + std::to_string(image.view().size()) +
                " bytes can describe; refusing it");
  }
  return static_cast<std::int32_t>(counter.rows);
}

PrjImage BuildPrj(const opt::OptImage& image, std::vector<std::string>& warnings) {
  PrjImage prj;
  prj.polygon_count = CountPrjPolygons(image);
  BlocksInMemory blocks(prj, prj.polygon_count);
  const PrjSectionCounts counts = BuildBlocks(image, prj.polygon_count, blocks, warnings);
  prj.ff03_count = counts.ff03;
  prj.ff08_count = counts.ff08;
  return prj;
}

std::uint64_t StreamPrj(const opt::OptImage& image, std::int32_t polygon_count,
                        const PrjWrite& write, std::vector<std::string>& warnings,
                        std::size_t chunk_bytes) {
  StreamedBlocks blocks(write, polygon_count, chunk_bytes);
  BuildBlocks(image, polygon_count, blocks, warnings);
  return blocks.end();
}

PrjSectionCounts CountPrjSections(const opt::OptImage& image, std::int32_t polygon_count,
                                  std::vector<std::string>& warnings, PrjRecords* records) {
  // Small chunks: nothing is written, so a chunk only has to be large enough that handing it
  // on costs little next to filling it.
  constexpr std::size_t kCountingChunkBytes = std::size_t{64} << 10;
  const PrjWrite let_go = [](std::uint64_t, ByteBuffer bytes) { return bytes; };
  StreamedBlocks blocks(let_go, polygon_count, kCountingChunkBytes);
  PrjSectionCounts counts = BuildBlocks(image, polygon_count, blocks, warnings, records);
  counts.bytes = blocks.end();
  return counts;
}

}  // namespace durvane::prj
