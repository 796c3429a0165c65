// Section FF02: per polygon, the names of the texture bitmaps of the texture met most
// recently in the walk (one name, or four for a texture group).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "opt/polygon_walk.h"
#include "prj/prj_records.h"

namespace durvane::prj {

// A polygon walk visitor. Appends the tag and a count field of 0 on construction; Finish
// writes the polygon count over the count field.
class SectionFF02Writer {
 public:
  // `records`, when given, hears each run of records' first bitmap name.
  SectionFF02Writer(const opt::OptImage& image, ByteSink& out, PrjRecords* records = nullptr);

  void TopLevelChild(std::int32_t, std::int32_t, std::int32_t) {}
  void ListChild(std::int32_t index, std::int32_t address, std::int32_t type);
  void PolygonRows(std::int32_t index, const opt::PolygonListNode& node);
  // Adds a warning when polygons were met before any texture.
  void Finish(std::int32_t polygon_count, std::vector<std::string>& warnings);

 private:
  using Name = std::array<std::byte, 8>;
  void SetName(int slot, std::int32_t texture_address);

  const opt::OptImage& image_;
  ByteSink& out_;
  PrjRecords* records_;
  std::uint64_t count_at_;
  // The current texture. It starts as one texture with all names eight 0 bytes, so that a
  // polygon met before any texture still gets a well-formed record.
  std::uint8_t flag_ = 0;
  std::array<Name, 4> names_{};
  bool texture_met_ = false;
  std::int64_t polygons_without_texture_ = 0;
  std::int32_t first_index_without_texture_ = -1;
};

}  // namespace durvane::prj
