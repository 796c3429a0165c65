#include "prj/section_ff02_writer.h"

#include <cstring>
#include <type_traits>

#include "prj/prj_layout.h"

namespace durvane::prj {

SectionFF02Writer::SectionFF02Writer(const opt::OptImage& image, ByteSink& out, PrjRecords* records)
    : image_(image), out_(out), records_(records) {
  out_.Long(kTagFF02);
  count_at_ = out_.size();
  out_.Long(0);
}

void SectionFF02Writer::SetName(int slot, std::int32_t texture_address) {
  const auto bytes = image_.TextureName(texture_address);
  std::memcpy(names_[slot].data(), bytes.data(), names_[slot].size());
}

void SectionFF02Writer::ListChild(std::int32_t, std::int32_t address, std::int32_t type) {
  switch (type) {
    case opt::kTextureNode:
    case opt::kTextureReferenceNode:
      flag_ = kFF02OneTexture;
      SetName(0, address);
      texture_met_ = true;
      break;
    case opt::kTextureGroupNode: {
      // A group of one names one texture; any other group names four, from the entries it
      // has. Entries that are 0 or beyond its ChildCount are not followed: their names stay.
      const std::int32_t children = image_.ChildCount(address);
      flag_ = children == 1 ? kFF02OneTexture : kFF02FourTextures;
      const std::int32_t slots = children == 1 ? 1 : 4;
      for (std::int32_t l = 1; l <= slots && l <= children; ++l) {
        const std::int32_t y = image_.InPlaceChild(address, l);
        if (y != 0) SetName(l - 1, y);
      }
      texture_met_ = true;
      break;
    }
    default:
      break;
  }
}

void SectionFF02Writer::PolygonRows(std::int32_t index, const opt::PolygonListNode& node) {
  if (node.rows == 0) return;
  if (!texture_met_) {
    if (polygons_without_texture_ == 0) first_index_without_texture_ = index;
    polygons_without_texture_ += node.rows;
  }
  // All records of one polygon list node are alike: build the first, then copy it.
  const int entries = flag_ == kFF02FourTextures ? 4 : 1;
  const std::size_t record_bytes =
      entries == 4 ? kFF02FourTextureRecordBytes : kFF02OneTextureRecordBytes;
  std::byte* first = out_.Extend(static_cast<std::size_t>(node.rows) * record_bytes);
  std::byte* p = first;
  StoreI32(p, index);
  p[4] = static_cast<std::byte>(flag_);
  p += 5;
  for (int e = 0; e < entries; ++e) {
    *p++ = static_cast<std::byte>(kFF02NameLength);
    std::memcpy(p, names_[e].data(), 8);
    std::memcpy(p + 8, ".BMP", 4);
    p += 12;
  }
  std::memset(p, 0, kFF02TailBytes);
  if (records_) {
    records_->FirstBitmapNames(
        node.rows, std::string_view(reinterpret_cast<const char*>(first + 6), kFF02NameLength));
  }
  // With the record length a constant, each copy is a few fixed-size moves.
  const auto repeat = [&](auto constant_bytes) {
    constexpr std::size_t kBytes = decltype(constant_bytes)::value;
    for (std::int32_t r = 1; r < node.rows; ++r) {
      std::memcpy(first + static_cast<std::size_t>(r) * kBytes, first, kBytes);
    }
  };
  if (entries == 4) {
    repeat(std::integral_constant<std::size_t, kFF02FourTextureRecordBytes>{});
  } else {
    repeat(std::integral_constant<std::size_t, kFF02OneTextureRecordBytes>{});
  }
}

void SectionFF02Writer::Finish(std::int32_t polygon_count, std::vector<std::string>& warnings) {
  out_.PatchLong(count_at_, polygon_count);
  if (polygons_without_texture_ > 0) {
    warnings.push_back(std::to_string(polygons_without_texture_) +
                       " polygon(s), the first under top-level entry " +
                       std::to_string(first_index_without_texture_ + 1) +
                       ", come before any texture; their FF02 records name a texture of eight "
                       "0 bytes");
  }
}

}  // namespace durvane::prj
