#include "render/model.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include "core/file_names.h"
#include "core/little_endian.h"
#include "prj/prj_layout.h"
#include "render/opt_polygons.h"
#include "render/prj_records.h"

namespace durvane::render {
namespace {

float LoadSingle(const std::byte* p) {
  return std::bit_cast<float>(LoadU32(p));
}

}  // namespace

Polygon Model::operator[](std::size_t i) const {
  Polygon polygon;
  if (opt_) {
    opt_->Read(i, polygon);
    polygon.bitmap = bitmap_of_[i];
    return polygon;
  }
  const std::byte* points = records_.corners.data() + i * prj::kPolygonRecordBytes + 4;
  const std::byte* pairs = records_.pairs.data() + i * prj::kFF01RecordBytes + 4;
  for (std::size_t c = 0; c < 4; ++c) {
    Corner& corner = polygon.corners[c];
    for (std::size_t k = 0; k < 3; ++k) corner.point[k] = LoadSingle(points + 12 * c + 4 * k);
    for (std::size_t k = 0; k < 2; ++k) corner.pair[k] = LoadSingle(pairs + 8 * c + 4 * k);
  }
  // A three-sided polygon's fourth corner repeats its first.
  if (std::memcmp(points, points + 36, 12) == 0 && std::memcmp(pairs, pairs + 24, 8) == 0) {
    polygon.corner_count = 3;
  }
  polygon.bitmap = bitmap_of_[i];
  return polygon;
}

Polygon Model::Points(std::size_t i, int corner_count) const {
  Polygon polygon;
  polygon.corner_count = corner_count;
  if (opt_) {
    opt_->ReadPoints(i, polygon);
    return polygon;
  }
  const std::byte* points = records_.corners.data() + i * prj::kPolygonRecordBytes + 4;
  for (std::size_t c = 0; c < 4; ++c) {
    for (std::size_t k = 0; k < 3; ++k) {
      polygon.corners[c].point[k] = LoadSingle(points + 12 * c + 4 * k);
    }
  }
  return polygon;
}

void Model::Prefetch(std::size_t i) const {
  if (opt_) {
    opt_->Prefetch(i);
    return;
  }
  const std::byte* points = records_.corners.data() + i * prj::kPolygonRecordBytes;
  __builtin_prefetch(points);
  __builtin_prefetch(points + prj::kPolygonRecordBytes - 1);
}

void Model::PrefetchCorners(std::size_t i) const {
  if (opt_) opt_->PrefetchCorners(i);
}

Model Model::Make(PolygonRecords records, std::shared_ptr<const void> storage,
                  const FindBitmap& find_bitmap) {
  BitmapNames names = ReadBitmapNames(records);
  return Make(records, std::move(names), std::move(storage), find_bitmap);
}

Model Model::Make(PolygonRecords records, BitmapNames names, std::shared_ptr<const void> storage,
                  const FindBitmap& find_bitmap) {
  Model model;
  model.records_ = records;
  model.storage_ = std::move(storage);
  model.bitmap_of_ = std::move(names.of_polygon);
  model.bitmap_names_ = std::move(names.names);
  model.FindBitmaps(find_bitmap);
  return model;
}

Model Model::Make(std::shared_ptr<const OptPolygons> polygons, BitmapNames names,
                  std::shared_ptr<const void> storage, const FindBitmap& find_bitmap) {
  if (names.of_polygon.size() != polygons->size()) {
    throw std::logic_error("the OPT file's polygons and bitmap names differ in number");
  }
  Model model;
  model.records_.polygon_count = polygons->size();
  model.opt_ = std::move(polygons);
  model.storage_ = std::move(storage);
  model.bitmap_of_ = std::move(names.of_polygon);
  model.bitmap_names_ = std::move(names.names);
  model.FindBitmaps(find_bitmap);
  return model;
}

void Model::FindBitmaps(const FindBitmap& find_bitmap) {
  bitmaps_.resize(bitmap_names_.size());
  for (std::size_t i = 0; i < bitmap_names_.size(); ++i) {
    const std::string& name = bitmap_names_[i];
    try {
      bitmaps_[i] = find_bitmap(name);
    } catch (const std::exception& e) {
      warnings_.push_back("bitmap '" + PrintableName(name) + "': " + e.what() +
                          "; its polygons are drawn in a flat colour");
    }
  }
}

}  // namespace durvane::render
