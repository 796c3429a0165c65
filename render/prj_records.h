// Where a model's polygons lie in PRJ bytes, and which bitmap each polygon names. The only
// part of the renderer that knows the PRJ layout walk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "prj/prj_image.h"
#include "prj/prj_records.h"
#include "render/model.h"

namespace durvane::render {

// The polygon records of a whole PRJ file. Throws FormatError, as the layout walk does, when
// the file breaks the PRJ layout.
PolygonRecords FindPolygonRecords(std::span<const std::byte> prj_file);

// The polygon records of a PRJ file a conversion built in memory.
PolygonRecords FindPolygonRecords(const prj::PrjImage& image);

// The bitmap names of the records' FF02 records.
BitmapNames ReadBitmapNames(const PolygonRecords& records);

// A PRJ file's polygons as far as the renderer needs them, read from the file itself: the
// records of its leading block and section FF01 in `bytes`, the bitmap names walked from
// section FF02 in the file. The other blocks are checked by the layout walk but not kept.
struct PrjFileRecords {
  ByteBuffer bytes;
  PolygonRecords records;  // corners and pairs point into `bytes`; names is empty
  BitmapNames names;
};
// Throws as FindPolygonRecords does, and Error when the file cannot be read or was changed
// while it was read.
PrjFileRecords ReadPrjFileRecords(const std::filesystem::path& path);

// The bitmap names of a model's polygons as the PRJ builder hands them on (prj::PrjRecords),
// indexed as the names read from a PRJ file's bytes are.
class BitmapNameIndex : public prj::PrjRecords {
 public:
  explicit BitmapNameIndex(std::size_t polygon_count);
  ~BitmapNameIndex() override;
  void FirstBitmapNames(std::int32_t count, std::string_view bitmap) override;
  // Throws std::logic_error when the builder named fewer or more polygons than the model has.
  BitmapNames Finish();

 private:
  struct State;
  std::size_t count_;
  std::unique_ptr<State> state_;
};

}  // namespace durvane::render
