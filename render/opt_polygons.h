// Where an OPT file's polygons lie in its own bytes, for a model drawn straight from the OPT
// file: the corners are looked up as a conversion looks them up, so polygon p is the one that
// record p of the converted PRJ file's leading block and section FF01 describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "opt/opt_image.h"
#include "opt/polygon_walk.h"
#include "opt/row_table.h"
#include "render/model.h"

namespace durvane::render {

// One polygon list node and the vertex and pair tables in force where the walk met it.
struct OptPolygonList {
  opt::PolygonListNode node;
  opt::RowTable vertices;
  opt::RowTable pairs;
  std::size_t first = 0;  // the number of its first polygon
};

class OptPolygons {
 public:
  // Walks the polygon lists of `image`, whose bytes must outlive the result. Throws as the
  // conversion's walk does for a table outside the file; corner indices are checked when
  // polygons are read, so a file is best converted (or streamed) once first to refuse it.
  explicit OptPolygons(const opt::OptImage& image);

  std::size_t size() const { return size_; }
  // The corners of polygon i; corner_count is 3 when the fourth corner repeats the first.
  void Read(std::size_t i, Polygon& polygon) const;
  // Its corner points alone; corner_count is left as it is.
  void ReadPoints(std::size_t i, Polygon& polygon) const;
  // Fetches the polygon row, then, a while later, the vertex rows its indices name.
  void Prefetch(std::size_t i) const;
  void PrefetchCorners(std::size_t i) const;

 private:
  // The list polygon i belongs to, and i's row in it.
  const OptPolygonList& ListOf(std::size_t i, std::int32_t& row) const;

  opt::OptImage image_;
  std::vector<OptPolygonList> lists_;
  // Per list, its first polygon: searched rather than a list number kept per polygon, as this
  // small table stays in the cache where a polygon's own entry would not.
  std::vector<std::size_t> firsts_;
  // Per run of kRunPolygons polygons, the list its first polygon belongs to, and after the
  // last run the last list: a search for polygon i needs only the lists of i's run.
  static constexpr std::size_t kRunPolygons = 256;
  std::vector<std::size_t> run_lists_;
  std::size_t size_ = 0;
};

}  // namespace durvane::render
