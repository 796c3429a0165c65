// Fuzz entry point for the renderer: any bytes the PRJ layout walk accepts are drawn, with the
// same bytes offered as every bitmap the polygons name, so the bitmap reader sees them too.
// Loading a model and drawing it never throw for an accepted file; any exception, crash or
// sanitizer report is a finding, and so is a picture of the wrong size or one that differs from
// the slow drawing's, which turns no triangle away early.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "core/error.h"
#include "render/model.h"
#include "render/prj_records.h"
#include "render/renderer.h"
#include "render/renderer_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace durvane::render;
  const std::span<const std::byte> input = std::as_bytes(std::span(data, size));
  PolygonRecords records;
  try {
    records = FindPolygonRecords(input);
  } catch (const durvane::Error&) {
    return 0;  // not a PRJ file
  }
  const Model model =
      Model::Make(records, nullptr, [input](const std::string&) { return ReadBitmapFile(input); });
  RenderOptions options;
  options.width = 24;
  options.height = 17;
  options.view = static_cast<View>(size % 7);
  options.yaw = static_cast<double>(size % 360);
  const Rendering rendering = Render(model, options);
  if (rendering.image.rgba.size() != 24u * 17u * 4u) {
    std::fprintf(stderr, "render_fuzzer: picture of the wrong size\n");
    std::abort();
  }
  const Rendering slow = RenderExhaustively(model, options);
  if (slow.image.rgba != rendering.image.rgba || slow.polygons_drawn != rendering.polygons_drawn) {
    std::fprintf(stderr, "render_fuzzer: the picture differs from the slow drawing's\n");
    std::abort();
  }
  return 0;
}
