// Fuzz entry point for the conversion: any bytes as an OPT file, converted in memory exactly as
// `durvane convert` does before it writes (scan, bitmaps, all eight PRJ blocks). A rejected
// file must fail with durvane::Error; any other exception, a crash or a sanitizer report is a
// finding. An accepted file must give a PRJ image whose blocks agree with their count fields,
// and streaming the PRJ file in small chunks, as a conversion to disk does in large ones, must
// give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "opt/opt_image.h"
#include "usecases/conversion_run.h"
#include "prj/prj_builder.h"
#include "prj/prj_layout.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "convert_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

std::int32_t LongAt(const durvane::ByteSink& block, std::size_t offset) {
  Check(block.size() >= offset + 4, "block too short for its header");
  return durvane::LoadI32(block.bytes().data() + offset);
}

// A tagged block: tag, count field, then records of `record_bytes` each.
void CheckSection(const durvane::ByteSink& block, std::int32_t tag, std::int32_t count,
                  std::uint64_t record_bytes, const char* what) {
  Check(LongAt(block, 0) == tag, what);
  Check(LongAt(block, 4) == count, what);
  if (record_bytes != 0) {
    Check(block.size() == 8 + static_cast<std::uint64_t>(count) * record_bytes, what);
  }
}

void CheckModel(const durvane::ConvertedModel& model, std::span<const std::byte> input) {
  using namespace durvane::prj;
  const PrjImage& prj = model.prj;
  const std::int32_t polygons = prj.polygon_count;
  Check(polygons >= 0 && prj.ff03_count >= 0 && prj.ff08_count >= 0, "negative count");
  Check(LongAt(prj.leading, 0) == polygons, "leading block count field");
  Check(prj.leading.size() == 4 + static_cast<std::uint64_t>(polygons) * kPolygonRecordBytes,
        "leading block length");
  CheckSection(prj.ff01, kTagFF01, polygons, kFF01RecordBytes, "section FF01");
  CheckSection(prj.ff02, kTagFF02, polygons, 0, "section FF02");
  Check(
      prj.ff02.size() >= 8 + static_cast<std::uint64_t>(polygons) * kFF02OneTextureRecordBytes &&
          prj.ff02.size() <= 8 + static_cast<std::uint64_t>(polygons) * kFF02FourTextureRecordBytes,
      "section FF02 length");
  CheckSection(prj.ff03, kTagFF03, prj.ff03_count, kFF03RecordBytes, "section FF03");
  Check(LongAt(prj.ff04, 0) == kTagFF04 && (prj.ff04.size() - 8) % kFF04RecordBytes == 0,
        "section FF04");
  Check(LongAt(prj.ff05, 0) == kTagFF05 && (prj.ff05.size() - 8) % kFF05RecordBytes == 0,
        "section FF05");
  CheckSection(prj.ff07, kTagFF07, polygons, kFF07RecordBytes, "section FF07");
  CheckSection(prj.ff08, kTagFF08, prj.ff08_count, kFF08RecordBytes, "section FF08");
  Check(prj.Flatten().size() == prj.size(), "flattened PRJ length");

  const std::byte* begin = input.data();
  const std::byte* end = input.data() + input.size();
  for (const durvane::opt::TextureBitmap& t : model.textures) {
    Check(t.header.size() == 1078, "bitmap header length");
    Check(t.pixels.empty() || (t.pixels.data() >= begin && t.pixels.data() <= end &&
                               static_cast<std::size_t>(end - t.pixels.data()) >= t.pixels.size()),
          "bitmap pixels outside the input");
    Check(static_cast<std::uint32_t>(durvane::LoadI32(t.header.data() + 2)) ==
              t.header.size() + t.pixels.size(),
          "bitmap file size field");
  }
}

// The PRJ file streamed in small chunks, so that every block spills and count fields are
// written again after their bytes have gone out.
void CheckStreamed(const durvane::ConvertedModel& model, std::span<const std::byte> input) {
  const durvane::opt::OptImage image(input);
  std::vector<std::byte> streamed;
  std::vector<std::string> warnings;
  const auto write = [&](std::uint64_t offset, durvane::ByteBuffer bytes) {
    if (streamed.size() < offset + bytes.size()) streamed.resize(offset + bytes.size());
    std::memcpy(streamed.data() + offset, bytes.data(), bytes.size());
    return bytes;
  };
  // Chunks of a few bytes, but not so many of them that a large output takes seconds.
  const std::size_t chunk_bytes = model.prj.size() < (std::uint64_t{64} << 10) ? 13 : 64 << 10;
  const std::uint64_t size = durvane::prj::StreamPrj(image, durvane::prj::CountPrjPolygons(image),
                                                     write, warnings, chunk_bytes);
  Check(size == streamed.size() && streamed == model.prj.Flatten(), "streamed PRJ bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  try {
    const durvane::ConvertedModel model = durvane::ConvertOpt(input);
    CheckModel(model, input);
    CheckStreamed(model, input);
  } catch (const durvane::Error&) {
    // A clean refusal.
  }
  return 0;
}
