// Builds the PRJ file of an OPT file: the leading block, then sections FF01, FF02, FF03, FF04,
// FF05, FF07 and FF08, with every count field final. Either whole in memory, or streamed out
// as it is built so that memory stays small however large the file grows.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "opt/opt_image.h"
#include "prj/prj_image.h"
#include "prj/prj_records.h"

namespace durvane::prj {

// The model's polygon count, from a walk that builds nothing. Throws Error when the count is
// beyond a PRJ file's range or would make a PRJ file far larger than the OPT file can
// describe, and Error or FormatError when the walk breaks the OPT layout.
std::int32_t CountPrjPolygons(const opt::OptImage& image);

// The whole PRJ file in memory. Throws like CountPrjPolygons; warnings about a PRJ file that is
// valid but questionable are appended to `warnings`.
PrjImage BuildPrj(const opt::OptImage& image, std::vector<std::string>& warnings);

// Takes the PRJ file's bytes as they are made: a file offset, then a buffer holding the bytes
// that go there, which it may keep; it returns a buffer for the builder to fill next (the same
// one or another). Offsets mostly rise, but a count field may be written again once its block
// is complete.
using PrjWrite = std::function<ByteBuffer(std::uint64_t offset, ByteBuffer bytes)>;

// Bytes a streamed block holds before it hands them on: large enough for few, large writes.
inline constexpr std::size_t kStreamChunkBytes = std::size_t{4} << 20;

// Writes the same bytes as BuildPrj through `write`, keeping no more than three chunks of
// about `chunk_bytes` in memory. `polygon_count` is CountPrjPolygons(image). Returns the file's
// size.
std::uint64_t StreamPrj(const opt::OptImage& image, std::int32_t polygon_count,
                        const PrjWrite& write, std::vector<std::string>& warnings,
                        std::size_t chunk_bytes = kStreamChunkBytes);

// What the builder's writers report of the PRJ file they made: each block's record count and
// the file's size. These are the counts themselves, not worked out again from the bytes.
struct PrjSectionCounts {
  std::int32_t polygons = 0;  // records of the leading block and of FF01, FF02 and FF07
  std::int32_t ff03 = 0;
  std::int32_t ff04 = 0;
  std::int32_t ff05 = 0;
  std::int32_t ff08 = 0;
  std::uint64_t bytes = 0;
};

// Runs StreamPrj's build and lets every chunk go as soon as it is made, keeping one small chunk
// per open block: the counts of a PRJ file of any size, in little memory, and (to `records`,
// when given) its typed records. Throws and warns exactly as StreamPrj does.
PrjSectionCounts CountPrjSections(const opt::OptImage& image, std::int32_t polygon_count,
                                  std::vector<std::string>& warnings,
                                  PrjRecords* records = nullptr);

// The largest PRJ file a conversion produces for an OPT file of `input_bytes` bytes; nodes
// shared many times over could otherwise make a small file demand an enormous output.
std::uint64_t MaxPrjBytes(std::uint64_t input_bytes);

}  // namespace durvane::prj
