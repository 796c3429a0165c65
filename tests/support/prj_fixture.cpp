#include "tests/support/prj_fixture.h"

#include "core/byte_sink.h"
#include "prj/prj_layout.h"

namespace durvane::fixture {
namespace {

void Filler(ByteSink& out, std::uint8_t seed, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    out.Byte(static_cast<std::uint8_t>(seed * 13 + k * 7 + 1));
  }
}

void Fixed(ByteSink& out, const std::vector<PrjRecord>& records, std::uint32_t length) {
  for (const PrjRecord& r : records) {
    out.Long(r.index);
    Filler(out, r.seed, length - 4);
  }
}

std::int32_t CountField(const PrjLayoutDesc& desc, std::size_t block, std::size_t records) {
  return desc.count_fields[block].value_or(static_cast<std::int32_t>(records));
}

template <typename Records>
void Header(ByteSink& out, const PrjLayoutDesc& desc, std::size_t block, std::int32_t tag,
            const Records& records) {
  out.Long(tag);
  out.Long(CountField(desc, block, records.size()));
}

}  // namespace

PrjLayoutDesc& PrjLayoutDesc::Polygon(std::int32_t index, std::uint8_t seed, PrjNameRecord name) {
  leading.push_back({index, seed});
  ff01.push_back({index, static_cast<std::uint8_t>(seed + 1)});
  name.index = index;
  ff02.push_back(std::move(name));
  ff07.push_back({index, static_cast<std::uint8_t>(seed + 2)});
  return *this;
}

std::vector<std::byte> BuildPrjFile(const PrjLayoutDesc& desc) {
  ByteSink out;
  out.Long(CountField(desc, 0, desc.leading.size()));
  Fixed(out, desc.leading, prj::kPolygonRecordBytes);
  Header(out, desc, 1, prj::kTagFF01, desc.ff01);
  Fixed(out, desc.ff01, prj::kFF01RecordBytes);
  Header(out, desc, 2, prj::kTagFF02, desc.ff02);
  for (const PrjNameRecord& r : desc.ff02) {
    out.Long(r.index);
    out.Byte(r.flag);
    for (const std::string& s : r.strings) {
      out.Byte(static_cast<std::uint8_t>(s.size()));
      out.Append(s);
    }
    Filler(out, r.seed, prj::kFF02TailBytes);
  }
  if (desc.ff03) {
    Header(out, desc, 3, prj::kTagFF03, *desc.ff03);
    Fixed(out, *desc.ff03, prj::kFF03RecordBytes);
  }
  Header(out, desc, 4, prj::kTagFF04, desc.ff04);
  Fixed(out, desc.ff04, prj::kFF04RecordBytes);
  Header(out, desc, 5, prj::kTagFF05, desc.ff05);
  Fixed(out, desc.ff05, prj::kFF05RecordBytes);
  Header(out, desc, 6, prj::kTagFF07, desc.ff07);
  Fixed(out, desc.ff07, prj::kFF07RecordBytes);
  if (desc.ff08) {
    Header(out, desc, 7, prj::kTagFF08, *desc.ff08);
    Fixed(out, *desc.ff08, prj::kFF08RecordBytes);
  }
  return std::move(out.storage());
}

PrjLayoutDesc ShiftedIndices(PrjLayoutDesc desc, std::int32_t shift) {
  auto shift_all = [shift](auto& records) {
    for (auto& r : records) r.index += shift;
  };
  shift_all(desc.leading);
  shift_all(desc.ff01);
  shift_all(desc.ff02);
  shift_all(desc.ff07);
  shift_all(desc.ff04);
  shift_all(desc.ff05);
  if (desc.ff03) shift_all(*desc.ff03);
  if (desc.ff08) shift_all(*desc.ff08);
  return desc;
}

}  // namespace durvane::fixture
