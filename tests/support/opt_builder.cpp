#include "tests/support/opt_builder.h"

#include <cstring>
#include <stdexcept>

#include "core/little_endian.h"

namespace durvane::fixture {

Bytes& Bytes::Long(std::int32_t v) {
  const std::size_t at = data_.size();
  data_.resize(at + 4);
  StoreI32(data_.data() + at, v);
  return *this;
}

Bytes& Bytes::Single(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return Long(static_cast<std::int32_t>(bits));
}

Bytes& Bytes::Address(Ref r) {
  addresses_.push_back({data_.size(), r});
  return Long(0);
}

Bytes& Bytes::Text(std::string_view s) {
  for (char c : s) data_.push_back(static_cast<std::byte>(c));
  return *this;
}

Bytes& Bytes::Byte(std::uint8_t v) {
  data_.push_back(static_cast<std::byte>(v));
  return *this;
}

Bytes& Bytes::Fill(std::size_t count, std::uint8_t v) {
  data_.insert(data_.end(), count, static_cast<std::byte>(v));
  return *this;
}

std::size_t Bytes::size() const {
  return data_.size();
}

int OptBuilder::Node(const NodeHeader& h, const Bytes& payload) {
  Bytes bytes;
  bytes.Long(h.word0).Long(h.type).Long(h.child_count).Address(h.child_table);
  bytes.Long(h.data_count).Address(h.data_address);
  for (auto a : payload.addresses_) bytes.addresses_.push_back({a.at + 24, a.ref});
  bytes.data_.insert(bytes.data_.end(), payload.data_.begin(), payload.data_.end());
  pieces_.push_back({std::move(bytes)});
  return static_cast<int>(pieces_.size() - 1);
}

int OptBuilder::Blob(const Bytes& bytes) {
  pieces_.push_back({bytes});
  return static_cast<int>(pieces_.size() - 1);
}

BuiltOpt OptBuilder::Build() const {
  BuiltOpt out;
  const std::int64_t opt_base = static_cast<std::int64_t>(base_address_) - 8;
  std::size_t offset = 22 + 4 * top_level_.size();
  for (const Piece& p : pieces_) {
    out.offsets.push_back(offset);
    out.addresses.push_back(
        static_cast<std::int32_t>(opt_base + static_cast<std::int64_t>(offset)));
    offset += p.bytes.size();
  }
  out.bytes.resize(offset);
  auto resolve = [&](Ref r) -> std::int32_t {
    if (r.piece < 0) return r.raw;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(out.addresses.at(r.piece)) +
                                     r.delta);
  };
  StoreI32(out.bytes.data() + 8, base_address_);
  const std::int32_t node_count =
      has_override_ ? node_count_override_ : static_cast<std::int32_t>(top_level_.size());
  StoreI32(out.bytes.data() + 14, node_count);
  for (std::size_t i = 0; i < top_level_.size(); ++i) {
    StoreI32(out.bytes.data() + 22 + 4 * i, resolve(top_level_[i]));
  }
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    const Bytes& b = pieces_[i].bytes;
    std::byte* dst = out.bytes.data() + out.offsets[i];
    std::memcpy(dst, b.data_.data(), b.data_.size());
    for (auto a : b.addresses_) StoreI32(dst + a.at, resolve(a.ref));
  }
  return out;
}

int VertexList(OptBuilder& b, const std::vector<Vertex>& rows) {
  Bytes payload;
  for (const Vertex& v : rows) payload.Single(v[0]).Single(v[1]).Single(v[2]);
  return b.Node({.type = 3, .data_count = static_cast<std::int32_t>(rows.size())}, payload);
}

int PairList(OptBuilder& b, const std::vector<Pair>& pairs) {
  Bytes payload;
  for (const Pair& p : pairs) payload.Single(p[0]).Single(p[1]);
  return b.Node({.type = 13, .data_count = static_cast<std::int32_t>(pairs.size())}, payload);
}

int PolygonList(OptBuilder& b, const std::vector<PolygonRow>& rows) {
  Bytes payload;
  payload.Long(0x7e7e7e7e);  // node offset 24, read by no one
  for (const PolygonRow& r : rows) {
    for (std::int32_t v : r.vertices) payload.Long(v);
    payload.Fill(16, 0xAB);  // row offsets 16 to 31 are not read
    for (std::int32_t c : r.pairs) payload.Long(c);
    payload.Fill(16, 0xCD);  // row offsets 48 to 63 are not read
  }
  for (const PolygonRow& r : rows) {
    for (std::int32_t v : r.first_trailing) payload.Long(v);
  }
  for (const PolygonRow& r : rows) {
    for (std::int32_t v : r.second_trailing) payload.Long(v);
  }
  return b.Node({.type = 1, .data_count = static_cast<std::int32_t>(rows.size())}, payload);
}

int RecordNode(OptBuilder& b, std::int32_t type, const std::vector<std::int32_t>& values) {
  Bytes payload;
  for (std::int32_t v : values) payload.Long(v);
  return b.Node({.type = type}, payload);
}

int TopLevelNode(OptBuilder& b, const std::vector<Ref>& children) {
  Bytes payload;
  for (Ref r : children) payload.Address(r);
  return b.Node({.type = 0, .child_count = static_cast<std::int32_t>(children.size())}, payload);
}

int SelectedNode(OptBuilder& b, Ref p) {
  Bytes table;
  table.Address(p);
  Bytes payload;
  payload.Address(p);
  return b.Node({.type = 0, .child_count = 1, .child_table = Ref::To(b.Blob(table))}, payload);
}

int Group(OptBuilder& b, const std::vector<Ref>& p_children) {
  Bytes p_payload;
  for (Ref r : p_children) p_payload.Address(r);
  const int p =
      b.Node({.type = 0, .child_count = static_cast<std::int32_t>(p_children.size())}, p_payload);
  Bytes k_payload;
  k_payload.Address(Ref::To(SelectedNode(b, Ref::To(p))));
  return b.Node({.type = 0, .child_count = 1}, k_payload);
}

std::array<std::byte, 8> NameBytes(std::string_view name) {
  std::array<std::byte, 8> out{};
  for (std::size_t i = 0; i < 8 && i < name.size(); ++i) out[i] = static_cast<std::byte>(name[i]);
  return out;
}

int Texture(OptBuilder& b, const TextureDesc& texture) {
  Bytes palette;
  for (std::uint16_t c : texture.palette) palette.Byte(c & 0xFF).Byte(c >> 8);
  const int palette_blob = b.Blob(palette);

  Bytes payload;
  for (std::byte c : NameBytes(texture.name)) payload.Byte(static_cast<std::uint8_t>(c));
  payload.Fill(texture.layout == TextureLayout::A ? 1 : 5, 0x11);
  // The palette lies 3584 bytes after the address the node stores.
  payload.Address(Ref::To(palette_blob, -3584));
  payload.Fill(4, 0x22);
  payload.Long(static_cast<std::int32_t>(texture.pixels.size()));
  payload.Fill(4, 0x33);
  payload.Long(texture.width).Long(texture.height);
  for (std::uint8_t p : texture.pixels) payload.Byte(p);
  const std::int32_t child_count = texture.child_count_override != -100
                                       ? texture.child_count_override
                                       : (texture.layout == TextureLayout::A ? 0 : 1);
  return b.Node({.type = 20, .child_count = child_count}, payload);
}

TextureDesc PatternTexture(const std::string& name, TextureLayout layout, int width, int height,
                           std::uint16_t tint) {
  TextureDesc t;
  t.name = name;
  t.layout = layout;
  t.width = width;
  t.height = height;
  t.pixels.clear();
  for (int i = 0; i < width * height; ++i) t.pixels.push_back(static_cast<std::uint8_t>(i * 7));
  for (int n = 0; n < 256; ++n) {
    // A ramp through the 5-6-5 channels, tinted per texture.
    const int r = (n >> 3) & 31, g = n & 63, b = (255 - n) >> 3;
    t.palette[n] = static_cast<std::uint16_t>(((r << 11) | (g << 5) | b) ^ tint);
  }
  return t;
}

int TextureReference(OptBuilder& b, std::string_view name) {
  Bytes payload;
  for (std::byte c : NameBytes(name)) payload.Byte(static_cast<std::uint8_t>(c));
  return b.Node({.type = 7}, payload);
}

int TextureGroup(OptBuilder& b, const std::vector<Ref>& children, std::int32_t data_count) {
  Bytes payload;
  for (Ref r : children) payload.Address(r);
  return b.Node({.type = 24,
                 .child_count = static_cast<std::int32_t>(children.size()),
                 .data_count = data_count},
                payload);
}

std::vector<std::byte> SharedNodesModel(int top_level) {
  OptBuilder b;
  const int vertices = VertexList(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  const int pairs = PairList(b, {{0, 0}, {1, 0}, {0, 1}});
  const int polygons =
      PolygonList(b, std::vector<PolygonRow>(40, PolygonRow{{0, 1, 2, -1}, {0, 1, 2, -1}, {}, {}}));
  Bytes children;
  for (int i = 0; i < 64; ++i) children.Address(Ref::To(polygons));
  const int p = b.Node({.type = 0, .child_count = 64}, children);
  Bytes group_payload;
  group_payload.Address(Ref::To(SelectedNode(b, Ref::To(p))));
  const int group = b.Node({.type = 0, .child_count = 1}, group_payload);
  std::vector<Ref> top_children = {Ref::To(vertices), Ref::To(pairs)};
  top_children.insert(top_children.end(), 8, Ref::To(group));
  b.TopLevel(std::vector<Ref>(static_cast<std::size_t>(top_level),
                               Ref::To(TopLevelNode(b, top_children))));
  return b.Build().bytes;
}

}  // namespace durvane::fixture
