#include "render/opt_polygons.h"

#include <bit>
#include <cstring>

#include "core/little_endian.h"
#include "opt/opt_layout.h"
#include "prj/corner_tables.h"

namespace durvane::render {
namespace {

// A polygon walk visitor that notes each polygon list with the tables the conversion's
// corner blocks would look its corners up in: the vertex and pair list nodes met last.
struct ListFinder {
  const opt::OptImage& image;
  std::vector<OptPolygonList>& lists;
  std::size_t& size;
  opt::RowTable vertices;
  opt::RowTable pairs;

  void TopLevelChild(std::int32_t, std::int32_t address, std::int32_t type) {
    if (type == opt::kVertexListNode) {
      vertices = opt::LoadRowTable(image, address, opt::kVertexRowBytes, "the vertex list");
    } else if (type == opt::kPairListNode) {
      pairs = opt::LoadRowTable(image, address, opt::kPairRowBytes, "the pair list");
    }
  }
  void ListChild(std::int32_t, std::int32_t, std::int32_t) {}
  void PolygonRows(std::int32_t, const opt::PolygonListNode& node) {
    if (node.rows <= 0) return;
    lists.push_back({node, vertices, pairs, size});
    size += static_cast<std::size_t>(node.rows);
  }
};

float LoadSingle(const std::byte* p) {
  return std::bit_cast<float>(LoadU32(p));
}

}  // namespace

OptPolygons::OptPolygons(const opt::OptImage& image) : image_(image) {
  ListFinder finder{image_, lists_, size_, {}, {}};
  opt::WalkPolygons(image_, finder);
  firsts_.reserve(lists_.size());
  for (const OptPolygonList& list : lists_) firsts_.push_back(list.first);
  // Every list holds a polygon, and the first starts at polygon 0.
  std::size_t list = 0;
  for (std::size_t first = 0; first < size_; first += kRunPolygons) {
    while (list + 1 < lists_.size() && lists_[list + 1].first <= first) ++list;
    run_lists_.push_back(list);
  }
  run_lists_.push_back(lists_.empty() ? 0 : lists_.size() - 1);
}

const OptPolygonList& OptPolygons::ListOf(std::size_t i, std::int32_t& row) const {
  // The last list whose first polygon is i or before, by halving without branches: the
  // polygons are met in depth order, so a branch on the comparison would go either way.
  // Only among the lists from that of the run's first polygon to that of the next run's.
  const std::size_t run = i / kRunPolygons;
  const std::size_t* base = firsts_.data() + run_lists_[run];
  std::size_t count = run_lists_[run + 1] - run_lists_[run] + 1;
  while (count > 1) {
    const std::size_t half = count / 2;
    base = base[half] <= i ? base + half : base;
    count -= half;
  }
  const OptPolygonList& list = lists_[static_cast<std::size_t>(base - firsts_.data())];
  row = static_cast<std::int32_t>(i - list.first);
  return list;
}

void OptPolygons::Read(std::size_t i, Polygon& polygon) const {
  std::int32_t r = 0;
  const OptPolygonList& list = ListOf(i, r);
  const auto points = prj::CornerRows(image_, list.vertices, opt::kVertexRowBytes, list.node, r,
                                      opt::kVertexIndicesRowOffset, "vertex");
  const auto pairs = prj::CornerRows(image_, list.pairs, opt::kPairRowBytes, list.node, r,
                                     opt::kPairIndicesRowOffset, "pair");
  for (std::size_t c = 0; c < 4; ++c) {
    Corner& corner = polygon.corners[c];
    for (std::size_t k = 0; k < 3; ++k) corner.point[k] = LoadSingle(points[c] + 4 * k);
    for (std::size_t k = 0; k < 2; ++k) corner.pair[k] = LoadSingle(pairs[c] + 4 * k);
  }
  // Compared by bytes, as the converted records would be.
  polygon.corner_count = std::memcmp(points[0], points[3], opt::kVertexRowBytes) == 0 &&
                                 std::memcmp(pairs[0], pairs[3], opt::kPairRowBytes) == 0
                             ? 3
                             : 4;
}

void OptPolygons::ReadPoints(std::size_t i, Polygon& polygon) const {
  std::int32_t r = 0;
  const OptPolygonList& list = ListOf(i, r);
  const auto points = prj::CornerRows(image_, list.vertices, opt::kVertexRowBytes, list.node, r,
                                      opt::kVertexIndicesRowOffset, "vertex");
  for (std::size_t c = 0; c < 4; ++c) {
    for (std::size_t k = 0; k < 3; ++k) {
      polygon.corners[c].point[k] = LoadSingle(points[c] + 4 * k);
    }
  }
}

void OptPolygons::Prefetch(std::size_t i) const {
  std::int32_t r = 0;
  __builtin_prefetch(ListOf(i, r).node.Row(r));
}

void OptPolygons::PrefetchCorners(std::size_t i) const {
  std::int32_t r = 0;
  const OptPolygonList& list = ListOf(i, r);
  const std::byte* row = list.node.Row(r);
  const auto fetch = [row](const opt::RowTable& table, std::uint32_t at, std::uint32_t bytes) {
    for (std::uint32_t c = 0; c < 4; ++c) {
      const std::int32_t index = LoadI32(row + at + 4 * c);
      if (table.loaded && index >= 0 && index < table.count) {
        __builtin_prefetch(table.Row(index, bytes));
      }
    }
  };
  fetch(list.vertices, opt::kVertexIndicesRowOffset, opt::kVertexRowBytes);
}

}  // namespace durvane::render
