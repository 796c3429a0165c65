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

std::int32_t CountField(const PrjSpec& spec, std::size_t block, std::size_t records) {
  return spec.count_fields[block].value_or(static_cast<std::int32_t>(records));
}

template <typename Records>
void Header(ByteSink& out, const PrjSpec& spec, std::size_t block, std::int32_t tag,
            const Records& records) {
  out.Long(tag);
  out.Long(CountField(spec, block, records.size()));
}

}  // namespace

PrjSpec& PrjSpec::Polygon(std::int32_t index, std::uint8_t seed, PrjNameRecord name) {
  leading.push_back({index, seed});
  ff01.push_back({index, static_cast<std::uint8_t>(seed + 1)});
  name.index = index;
  ff02.push_back(std::move(name));
  ff07.push_back({index, static_cast<std::uint8_t>(seed + 2)});
  return *this;
}

std::vector<std::byte> BuildPrjFile(const PrjSpec& spec) {
  ByteSink out;
  out.Long(CountField(spec, 0, spec.leading.size()));
  Fixed(out, spec.leading, prj::kPolygonRecordBytes);
  Header(out, spec, 1, prj::kTagFF01, spec.ff01);
  Fixed(out, spec.ff01, prj::kFF01RecordBytes);
  Header(out, spec, 2, prj::kTagFF02, spec.ff02);
  for (const PrjNameRecord& r : spec.ff02) {
    out.Long(r.index);
    out.Byte(r.flag);
    for (const std::string& s : r.strings) {
      out.Byte(static_cast<std::uint8_t>(s.size()));
      out.Append(s);
    }
    Filler(out, r.seed, prj::kFF02TailBytes);
  }
  if (spec.ff03) {
    Header(out, spec, 3, prj::kTagFF03, *spec.ff03);
    Fixed(out, *spec.ff03, prj::kFF03RecordBytes);
  }
  Header(out, spec, 4, prj::kTagFF04, spec.ff04);
  Fixed(out, spec.ff04, prj::kFF04RecordBytes);
  Header(out, spec, 5, prj::kTagFF05, spec.ff05);
  Fixed(out, spec.ff05, prj::kFF05RecordBytes);
  Header(out, spec, 6, prj::kTagFF07, spec.ff07);
  Fixed(out, spec.ff07, prj::kFF07RecordBytes);
  if (spec.ff08) {
    Header(out, spec, 7, prj::kTagFF08, *spec.ff08);
    Fixed(out, *spec.ff08, prj::kFF08RecordBytes);
  }
  return std::move(out.storage());
}

PrjSpec ShiftedIndices(PrjSpec spec, std::int32_t shift) {
  auto shift_all = [shift](auto& records) {
    for (auto& r : records) r.index += shift;
  };
  shift_all(spec.leading);
  shift_all(spec.ff01);
  shift_all(spec.ff02);
  shift_all(spec.ff07);
  shift_all(spec.ff04);
  shift_all(spec.ff05);
  if (spec.ff03) shift_all(*spec.ff03);
  if (spec.ff08) shift_all(*spec.ff08);
  return spec;
}

}  // namespace durvane::fixture
