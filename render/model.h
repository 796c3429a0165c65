// A model as the renderer draws it: polygons of three or four corners, each corner a point
// and a texture pair, and per polygon the bitmap it is painted with. The polygons are read on
// demand from the records of a PRJ file's leading block and section FF01, or from an OPT file's
// own polygon lists and tables, so a model of a million polygons costs little beyond the file's
// own bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/large_blocks.h"
#include "render/bitmap.h"

namespace durvane::render {

inline constexpr std::uint32_t kNoBitmap = 0xFFFFFFFF;

// Per polygon, the index of the bitmap its FF02 record names first; the names in order of
// first use.
struct BitmapNames {
  LargeVector<std::uint32_t> of_polygon;
  std::vector<std::string> names;
};

struct Corner {
  std::array<float, 3> point{};
  std::array<float, 2> pair{};  // fractions of the bitmap's width and height
};

struct Polygon {
  std::array<Corner, 4> corners{};
  int corner_count = 4;  // 3 when the fourth corner repeats the first
  std::uint32_t bitmap = kNoBitmap;
};

// The per-polygon records of a PRJ file's leading block, section FF01 and section FF02, without
// their block headers; record p of each describes polygon p.
struct PolygonRecords {
  std::size_t polygon_count = 0;
  std::span<const std::byte> corners;  // leading block: index, four points of three Singles
  std::span<const std::byte> pairs;    // section FF01: index, four pairs of two Singles
  std::span<const std::byte> names;    // section FF02: index, flag, bitmap names, tail
};

class OptPolygons;  // render/opt_polygons.h

class Model {
 public:
  std::size_t size() const { return records_.polygon_count; }
  Polygon operator[](std::size_t i) const;
  // Polygon i's corner points alone, with `corner_count` as operator[] gave it: what drawing
  // needs, without the pairs and bitmap only painting does.
  Polygon Points(std::size_t i, int corner_count) const;
  // Asks the processor to fetch polygon i's points, for a Points(i) soon after.
  void Prefetch(std::size_t i) const;
  // Its second step where the points lie apart from the records that name them (an OPT
  // file's tables): fetches them, a while after Prefetch(i) fetched the records.
  void PrefetchCorners(std::size_t i) const;

  // Bitmap names by index; bitmap(i) is empty when the bitmap is missing or unusable.
  const std::vector<std::string>& bitmap_names() const { return bitmap_names_; }
  const Bitmap* bitmap(std::uint32_t index) const {
    return index < bitmaps_.size() && bitmaps_[index] ? &*bitmaps_[index] : nullptr;
  }
  // What loading noticed: missing or unusable bitmaps, one warning each.
  const std::vector<std::string>& warnings() const { return warnings_; }

  // Throws Error naming the file when the bytes the polygons are read from were cut short or
  // changed since the model was made; call it after reading polygons and before anything made
  // from them is shown or written. A model read from a file mapped into memory reads zeros past
  // a cut rather than failing, so only this tells. Does nothing when no check was set.
  void CheckSourceUnchanged() const {
    if (check_source_) check_source_();
  }
  void SetSourceCheck(std::function<void()> check) { check_source_ = std::move(check); }

  // Builds a model over `records`, whose bytes `storage` keeps alive. The bitmap names are
  // read from the FF02 records; `find_bitmap` is asked once per distinct name, in order of
  // first use, and returns the bitmap or throws Error saying why it cannot be had; such a
  // bitmap's polygons are drawn in a flat colour, with one warning naming it.
  using FindBitmap = std::function<Bitmap(const std::string& name)>;
  static Model Make(PolygonRecords records, std::shared_ptr<const void> storage,
                    const FindBitmap& find_bitmap);
  // The same with the bitmap names read already: records.names is not read.
  static Model Make(PolygonRecords records, BitmapNames names, std::shared_ptr<const void> storage,
                    const FindBitmap& find_bitmap);
  // A model whose polygons are read from an OPT file's own bytes, which `storage` keeps alive.
  static Model Make(std::shared_ptr<const OptPolygons> polygons, BitmapNames names,
                    std::shared_ptr<const void> storage, const FindBitmap& find_bitmap);

 private:
  void FindBitmaps(const FindBitmap& find_bitmap);

  PolygonRecords records_;
  std::shared_ptr<const OptPolygons> opt_;  // when set, the polygons come from here
  std::shared_ptr<const void> storage_;
  LargeVector<std::uint32_t> bitmap_of_;  // per polygon
  std::vector<std::string> bitmap_names_;
  std::vector<std::optional<Bitmap>> bitmaps_;
  std::vector<std::string> warnings_;
  std::function<void()> check_source_;
};

}  // namespace durvane::render
