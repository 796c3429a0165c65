// Builds OPT files from a readable description: nodes refer to each other by handle and the
// builder lays them out and computes their addresses from a chosen base address.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace durvane::fixture {

// Something that is written as a 32-bit address: 0, a raw value, or the address of a piece
// of the file (a node or a blob) plus a byte delta.
struct Ref {
  int piece = -1;  // -1: no piece; `raw` is written as it is
  std::int32_t delta = 0;
  std::int32_t raw = 0;

  static Ref Null() { return {}; }
  static Ref Raw(std::int32_t value) { return {-1, 0, value}; }
  static Ref To(int piece, std::int32_t delta = 0) { return {piece, delta, 0}; }
};

// Bytes of a node's payload or of a blob, built value by value.
class Bytes {
 public:
  Bytes& Long(std::int32_t v);
  Bytes& Single(float v);
  Bytes& Address(Ref r);
  Bytes& Text(std::string_view s);  // raw characters, no terminator
  Bytes& Byte(std::uint8_t v);
  Bytes& Fill(std::size_t count, std::uint8_t v = 0);

  std::size_t size() const;

 private:
  friend class OptBuilder;
  struct AddressAt {
    std::size_t at;
    Ref ref;
  };
  std::vector<std::byte> data_;
  std::vector<AddressAt> addresses_;
};

// The 24-byte node header; the child list and other payload follow at node offset 24.
struct NodeHeader {
  std::int32_t word0 = 0;
  std::int32_t type = 0;
  std::int32_t child_count = 0;
  Ref child_table;
  std::int32_t data_count = 0;
  Ref data_address;
};

// A finished OPT file and the addresses the builder gave its pieces.
struct BuiltOpt {
  std::vector<std::byte> bytes;
  std::vector<std::int32_t> addresses;  // by piece handle
  std::vector<std::size_t> offsets;     // by piece handle

  std::int32_t AddressOf(int piece) const { return addresses.at(piece); }
  std::size_t OffsetOf(int piece) const { return offsets.at(piece); }
};

class OptBuilder {
 public:
  // base_address is the value stored at file offset 8; OptBase is 8 less.
  explicit OptBuilder(std::int32_t base_address = 0x10008) : base_address_(base_address) {}

  // A node: its header, then `payload` from node offset 24. Returns its handle.
  int Node(const NodeHeader& header, const Bytes& payload = {});
  // Bytes placed in the file that are not a node (child tables, palettes).
  int Blob(const Bytes& bytes);

  // The top-level table. NodeCount is the number of entries unless overridden.
  void TopLevel(std::vector<Ref> entries) { top_level_ = std::move(entries); }
  void OverrideNodeCount(std::int32_t n) {
    node_count_override_ = n;
    has_override_ = true;
  }

  // Lays the file out: header (22 bytes), top-level table, then pieces in handle order.
  BuiltOpt Build() const;

 private:
  struct Piece {
    Bytes bytes;
  };
  std::int32_t base_address_;
  std::vector<Piece> pieces_;
  std::vector<Ref> top_level_;
  std::int32_t node_count_override_ = 0;
  bool has_override_ = false;
};

// ---- Typed helpers for the node kinds the converter reads ----

using Vertex = std::array<float, 3>;
using Pair = std::array<float, 2>;

struct PolygonRow {
  std::array<std::int32_t, 4> vertices{};  // V1..V4; V4 = -1 for a triangle
  std::array<std::int32_t, 4> pairs{};     // C1..C4; C4 = -1 for a triangle
  std::array<std::int32_t, 3> first_trailing{};
  std::array<std::int32_t, 6> second_trailing{};
};

int VertexList(OptBuilder& b, const std::vector<Vertex>& rows);
int PairList(OptBuilder& b, const std::vector<Pair>& pairs);
int PolygonList(OptBuilder& b, const std::vector<PolygonRow>& rows);

// A node of type 22, 23, 25 or 28 whose payload from node offset 24 holds `values`.
int RecordNode(OptBuilder& b, std::int32_t type, const std::vector<std::int32_t>& values);

// A top-level node with `children` in place.
int TopLevelNode(OptBuilder& b, const std::vector<Ref>& children);

// A selected node S with P as its one in-place entry and as the one entry of its child table:
// the polygon walk reaches P in place, the texture scan through the table.
int SelectedNode(OptBuilder& b, Ref p);

// A group node whose selected node S has P as its first in-place entry and, through its
// child table, P as its one child, so that both the polygon walk and the texture scan reach
// `p_children` (polygon lists, textures, texture references and groups).
int Group(OptBuilder& b, const std::vector<Ref>& p_children);

// A file of a few kilobytes whose shared nodes make a huge model: `top_level` entries (48 by
// default) name one node whose 8 group children lead to one node whose 64 children are one list
// of 40 triangles, 20480 polygons per entry: 983040 polygons in all, a PRJ file of some 188 MB.
std::vector<std::byte> SharedNodesModel(int top_level = 48);

enum class TextureLayout { A, B };

struct TextureDesc {
  std::string name = "TEX00000";  // exactly 8 bytes are written, padded with 0
  TextureLayout layout = TextureLayout::A;
  std::int32_t width = 2;
  std::int32_t height = 2;
  std::vector<std::uint8_t> pixels = {0, 1, 2, 3};
  std::array<std::uint16_t, 256> palette{};  // 5-6-5 colours
  std::int32_t child_count_override = -100;  // any other value replaces the layout's ChildCount
};

// A texture node (type 20) and its palette blob.
int Texture(OptBuilder& b, const TextureDesc& texture);

// A texture of width x height pixels with a patterned palette; different tints give
// different palettes.
TextureDesc PatternTexture(const std::string& name, TextureLayout layout, int width, int height,
                           std::uint16_t tint);
int TextureReference(OptBuilder& b, std::string_view name);
int TextureGroup(OptBuilder& b, const std::vector<Ref>& children, std::int32_t data_count);

// 8 bytes of a texture name: the text, padded with 0 bytes or cut to 8.
std::array<std::byte, 8> NameBytes(std::string_view name);

}  // namespace durvane::fixture
