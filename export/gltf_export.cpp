#include "export/gltf_export.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cctype>
#include <cstdint>
#include <future>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "core/error.h"
#include "core/large_blocks.h"
#include "core/little_endian.h"
#include "render/polygon_triangles.h"

namespace durvane::exporting {
namespace {

// The box about some points, which glTF gives each primitive's positions.
struct Bounds {
  static constexpr float kInf = std::numeric_limits<float>::infinity();
  std::array<float, 3> low{kInf, kInf, kInf};
  std::array<float, 3> high{-kInf, -kInf, -kInf};

  void Add(const std::array<float, 3>& low_point, const std::array<float, 3>& high_point) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], low_point[k]);
      high[k] = std::max(high[k], high_point[k]);
    }
  }
};

// The drawn polygons of one material: one primitive, its corners not shared with other
// polygons, since each polygon has its own texture pairs.
struct Group {
  std::uint64_t corners = 0;
  std::uint64_t triangles = 0;
  // Byte offsets in the buffer of the positions (three floats), texture pairs (two floats) and
  // indices (one 32-bit value) of the corners and triangles.
  std::size_t positions = 0, pairs = 0, indices = 0;
  Bounds bounds;
};

// A group's polygons within one part of the model: counted by the first pass, written by the
// second after those of the parts before it.
struct Share {
  std::uint64_t corners = 0, triangles = 0;
  std::uint64_t first_corner = 0, first_triangle = 0;  // of the group, before this share
  std::uint64_t corners_written = 0, triangles_written = 0;
  Bounds bounds;
};

// A range of the model's polygons, counted and written by one thread.
struct Part {
  std::size_t begin = 0, end = 0;
  std::size_t left_out = 0;
  std::vector<Share> shares;  // by group
};

void PutFloat(std::byte* p, float v) {
  StoreU32(p, std::bit_cast<std::uint32_t>(v));
}

std::size_t Padding(std::size_t size) {
  return (4 - size % 4) % 4;
}

inline constexpr std::uint32_t kLeftOut = 0xFFFFFFFF;

// A model of fewer polygons is not worth a second thread.
inline constexpr std::size_t kPolygonsPerPart = std::size_t{1} << 14;

// The model's polygons in one part, or two of about equal size.
std::vector<Part> PartsOf(const render::Model& model, std::size_t groups) {
  const std::size_t count = model.size() >= 2 * kPolygonsPerPart ? 2 : 1;
  std::vector<Part> parts(count);
  for (std::size_t p = 0; p < count; ++p) {
    parts[p].begin = model.size() / count * p;
    parts[p].end = p + 1 == count ? model.size() : model.size() / count * (p + 1);
    parts[p].shares.resize(groups);
  }
  return parts;
}

// Runs `work(part, check)` for every part, the first on the calling thread and the others on
// threads of their own. `check()` throws ExportCancelled when the export is to stop: on the
// calling thread when `cancelled` says so (it is asked on that thread alone), on the others once
// the calling thread has stopped.
template <typename Work>
void InParts(std::vector<Part>& parts, const CancelCheck& cancelled, const Work& work) {
  std::atomic<bool> stop = false;
  const auto run = [&](Part& part, bool asks) {
    std::size_t asked = 0;
    work(part, [&] {
      if (stop.load(std::memory_order_relaxed)) throw ExportCancelled();
      if (asks && asked++ % 4096 == 0 && cancelled && cancelled()) throw ExportCancelled();
    });
  };
  std::vector<std::future<void>> others;
  for (std::size_t p = 1; p < parts.size(); ++p) {
    others.push_back(
        std::async(std::launch::async, [&run, &part = parts[p]] { run(part, false); }));
  }
  try {
    run(parts[0], true);
  } catch (...) {
    stop = true;
    for (std::future<void>& f : others) f.wait();
    throw;
  }
  for (std::future<void>& f : others) f.get();
}

// Counts each group's corners and triangles in the part and notes each polygon's group in
// `group_of` (kLeftOut when it is not drawn).
template <typename Check>
void CountPart(const render::Model& model, const ExportMaterials& materials, Part& part,
               std::span<std::uint32_t> group_of, const Check& check) {
  for (std::size_t i = part.begin; i < part.end; ++i) {
    check();
    const render::Polygon polygon = model[i];
    if (!render::Drawable(polygon)) {
      ++part.left_out;
      continue;
    }
    const std::uint32_t m = materials.Of(polygon.bitmap);
    part.shares[m].corners += static_cast<std::uint64_t>(polygon.corner_count);
    part.shares[m].triangles += static_cast<std::uint64_t>(render::TrianglesOf(polygon).count);
    group_of[i] = m;
  }
}

// Writes the corners and triangles of the part's drawn polygons into `buffer`, where the
// groups and the part's shares of them say.
template <typename Check>
void FillPart(const render::Model& model, std::span<const std::uint32_t> group_of,
              const std::vector<Group>& groups, Part& part, std::span<std::byte> buffer,
              const Check& check) {
  for (std::size_t i = part.begin; i < part.end; ++i) {
    check();
    if (group_of[i] == kLeftOut) continue;
    const render::Polygon polygon = model[i];
    const Group& g = groups[group_of[i]];
    Share& s = part.shares[group_of[i]];
    const render::Triangles t = render::TrianglesOf(polygon);
    if (s.corners - s.corners_written < static_cast<std::uint64_t>(polygon.corner_count) ||
        s.triangles - s.triangles_written < static_cast<std::uint64_t>(t.count)) {
      throw Error("the model's polygons changed while they were exported");
    }
    const std::uint64_t first = s.first_corner + s.corners_written;
    for (int c = 0; c < polygon.corner_count; ++c) {
      const render::Corner& corner = polygon.corners[c];
      const std::uint64_t n = first + static_cast<std::uint64_t>(c);
      std::byte* p = buffer.data() + g.positions + n * 12;
      std::byte* q = buffer.data() + g.pairs + n * 8;
      for (int k = 0; k < 3; ++k) PutFloat(p + 4 * k, corner.point[k]);
      s.bounds.Add(corner.point, corner.point);
      PutFloat(q, corner.pair[0]);
      PutFloat(q + 4, corner.pair[1]);
    }
    s.corners_written += static_cast<std::uint64_t>(polygon.corner_count);
    for (int n = 0; n < t.count; ++n) {
      std::byte* r = buffer.data() + g.indices + (s.first_triangle + s.triangles_written) * 12;
      for (int k = 0; k < 3; ++k) {
        // Below 2^32: a group's corners are counted first and refused beyond that.
        StoreU32(r + 4 * k,
                 static_cast<std::uint32_t>(first) + static_cast<std::uint32_t>(t.corners[n][k]));
      }
      ++s.triangles_written;
    }
  }
}

int AddView(tinygltf::Model& gltf, std::size_t offset, std::size_t length, int target) {
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = offset;
  view.byteLength = length;
  view.target = target;
  gltf.bufferViews.push_back(view);
  return static_cast<int>(gltf.bufferViews.size() - 1);
}

int AddAccessor(tinygltf::Model& gltf, int view, int component, int type, std::uint64_t count) {
  tinygltf::Accessor accessor;
  accessor.bufferView = view;
  accessor.componentType = component;
  accessor.type = type;
  accessor.count = count;
  gltf.accessors.push_back(accessor);
  return static_cast<int>(gltf.accessors.size() - 1);
}

// The glTF document of the model, but for its buffer, which `StageGltf` adds: tinygltf would
// copy the buffer's bytes into its output, and write a separate buffer only as a file of its
// own.
tinygltf::Model Describe(const ExportMaterials& materials, const std::vector<Group>& groups,
                         bool binary, std::size_t images_offset) {
  tinygltf::Model gltf;
  gltf.asset.version = "2.0";
  gltf.asset.generator = "durvane";

  tinygltf::Sampler sampler;  // nearest pixel, wrapping, as the renderer paints
  sampler.magFilter = TINYGLTF_TEXTURE_FILTER_NEAREST;
  sampler.minFilter = TINYGLTF_TEXTURE_FILTER_NEAREST;
  gltf.samplers.push_back(sampler);
  std::size_t image_offset = images_offset;
  for (std::size_t i = 0; i < materials.materials.size(); ++i) {
    const ExportMaterial& m = materials.materials[i];
    tinygltf::Material material;
    material.name = m.name;
    material.doubleSided = true;  // the renderer draws both sides
    material.pbrMetallicRoughness.baseColorFactor = {m.colour.r / 255.0, m.colour.g / 255.0,
                                                     m.colour.b / 255.0, 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    if (m.textured) {
      tinygltf::Image image;
      image.name = m.name;
      if (binary) {
        const std::size_t size = materials.Png(i).size();
        image.bufferView = AddView(gltf, image_offset, size, 0);
        image.mimeType = "image/png";
        image_offset += size + Padding(size);
      } else {
        image.uri = m.PngName();  // only letters, digits, '_', '-' and '.': no escapes needed
      }
      gltf.images.push_back(image);
      tinygltf::Texture texture;
      texture.source = static_cast<int>(gltf.images.size() - 1);
      texture.sampler = 0;
      gltf.textures.push_back(texture);
      material.pbrMetallicRoughness.baseColorTexture.index =
          static_cast<int>(gltf.textures.size() - 1);
    }
    gltf.materials.push_back(material);
  }

  tinygltf::Mesh mesh;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const Group& g = groups[i];
    if (g.triangles == 0) continue;
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.material = static_cast<int>(i);
    const int positions =
        AddAccessor(gltf, AddView(gltf, g.positions, g.corners * 12, TINYGLTF_TARGET_ARRAY_BUFFER),
                    TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, g.corners);
    gltf.accessors[positions].minValues.assign(g.bounds.low.begin(), g.bounds.low.end());
    gltf.accessors[positions].maxValues.assign(g.bounds.high.begin(), g.bounds.high.end());
    primitive.attributes["POSITION"] = positions;
    primitive.attributes["TEXCOORD_0"] =
        AddAccessor(gltf, AddView(gltf, g.pairs, g.corners * 8, TINYGLTF_TARGET_ARRAY_BUFFER),
                    TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, g.corners);
    primitive.indices = AddAccessor(
        gltf, AddView(gltf, g.indices, g.triangles * 12, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
        TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, g.triangles * 3);
    mesh.primitives.push_back(primitive);
  }
  tinygltf::Node node;
  // The files are z up, glTF y up: a quarter turn about x takes (x, y, z) to (x, z, -y).
  node.rotation = {-0.70710678118654752, 0, 0, 0.70710678118654752};
  if (!mesh.primitives.empty()) {
    gltf.meshes.push_back(mesh);
    node.mesh = 0;
  }
  gltf.nodes.push_back(node);
  tinygltf::Scene scene;
  scene.nodes = {0};
  gltf.scenes.push_back(scene);
  gltf.defaultScene = 0;
  return gltf;
}

// A file name as a relative URI: every byte but ASCII letters, digits and "-._~" written as %XX.
std::string UriOf(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~')) {
      uri += c;
    } else {
      uri += {'%', kHex[u >> 4], kHex[u & 15]};
    }
  }
  return uri;
}

// The document as JSON text, with its one buffer of `length` bytes: in the binary file's own
// chunk, or in the file `uri`; none when `length` is 0, as glTF has no empty buffers.
std::string DocumentText(const tinygltf::Model& gltf, std::size_t length, const std::string& uri) {
  std::ostringstream text;
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&gltf, text, false, false)) {
    throw Error("the glTF document could not be written");
  }
  nlohmann::json document = nlohmann::json::parse(text.str());
  if (length > 0) {
    nlohmann::json buffer = {{"byteLength", length}};
    if (!uri.empty()) buffer["uri"] = uri;
    document["buffers"] = nlohmann::json::array({buffer});
  }
  return document.dump();
}

}  // namespace

std::size_t StageGltf(const render::Model& model, const ExportMaterials& materials, bool binary,
                      const CancelCheck& cancelled, ExportFiles& files) {
  // The first pass counts each group's corners and triangles and notes each polygon's group,
  // so that the second, which writes them, reads only the polygons drawn. Both take the model in
  // two parts side by side when it is large.
  std::vector<Group> groups(materials.materials.size());
  std::vector<Part> parts = PartsOf(model, groups.size());
  LargeVector<std::uint32_t> group_of(model.size(), kLeftOut);
  InParts(parts, cancelled, [&](Part& part, const auto& check) {
    CountPart(model, materials, part, group_of, check);
  });
  std::size_t left_out = 0;
  for (const Part& part : parts) left_out += part.left_out;
  std::size_t size = 0;
  for (std::size_t m = 0; m < groups.size(); ++m) {
    Group& g = groups[m];
    for (Part& part : parts) {
      part.shares[m].first_corner = g.corners;
      part.shares[m].first_triangle = g.triangles;
      g.corners += part.shares[m].corners;
      g.triangles += part.shares[m].triangles;
    }
    if (g.corners > std::numeric_limits<std::uint32_t>::max()) {
      throw Error("the model has more corners of one bitmap than glTF can number in 32 bits");
    }
    g.positions = size;
    g.pairs = g.positions + g.corners * 12;
    g.indices = g.pairs + g.corners * 8;
    size = g.indices + g.triangles * 12;
  }
  // Every byte is written by FillPart: the buffer is not cleared first.
  ByteBuffer bytes(size);
  const std::span<std::byte> geometry(bytes.data(), size);
  InParts(parts, cancelled, [&](Part& part, const auto& check) {
    FillPart(model, group_of, groups, part, geometry, check);
  });
  for (std::size_t m = 0; m < groups.size(); ++m) {
    for (const Part& part : parts) {
      const Share& s = part.shares[m];
      if (s.corners_written != s.corners || s.triangles_written != s.triangles) {
        throw Error("the model's polygons changed while they were exported");
      }
      groups[m].bounds.Add(s.bounds.low, s.bounds.high);
    }
  }

  if (!binary) {
    const std::string bin_name = files.SiblingName(".bin");
    const std::string text =
        DocumentText(Describe(materials, groups, false, 0), size, UriOf(bin_name));
    const std::span<const std::byte> json[] = {std::as_bytes(std::span(text))};
    files.Stage(files.destination(), json);
    if (size > 0) {
      const std::span<const std::byte> bin[] = {geometry};
      files.Stage(files.Beside(bin_name), bin);
    }
    StagePngFiles(materials, files);
    return left_out;
  }

  // One file: its header, the JSON chunk padded with spaces, the binary chunk (the geometry,
  // then each PNG file) padded with zeros.
  std::size_t bin_length = size;
  for (std::size_t i = 0; i < materials.materials.size(); ++i) {
    if (materials.materials[i].textured) {
      bin_length += materials.Png(i).size() + Padding(materials.Png(i).size());
    }
  }
  std::string text = DocumentText(Describe(materials, groups, true, size), bin_length, "");
  text.append(Padding(text.size()), ' ');
  const std::uint64_t total = 12 + 8 + text.size() + (bin_length > 0 ? 8 + bin_length : 0);
  if (total > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("the model is too large for a binary glTF file, which holds at most 4 GiB: " +
                std::string("export it as .gltf"));
  }
  std::array<std::byte, 20> head{};
  StoreU32(head.data(), 0x46546C67);  // "glTF"
  StoreU32(head.data() + 4, 2);
  StoreU32(head.data() + 8, static_cast<std::uint32_t>(total));
  StoreU32(head.data() + 12, static_cast<std::uint32_t>(text.size()));
  StoreU32(head.data() + 16, 0x4E4F534A);  // "JSON"
  std::array<std::byte, 8> bin_head{};
  StoreU32(bin_head.data(), static_cast<std::uint32_t>(bin_length));
  StoreU32(bin_head.data() + 4, 0x004E4942);  // "BIN"
  static constexpr std::array<std::byte, 3> kZeros{};
  std::vector<std::span<const std::byte>> pieces = {head, std::as_bytes(std::span(text))};
  if (bin_length > 0) {
    pieces.push_back(bin_head);
    pieces.push_back(geometry);
  }
  for (std::size_t i = 0; i < materials.materials.size(); ++i) {
    if (!materials.materials[i].textured) continue;
    pieces.push_back(materials.Png(i));
    pieces.push_back(std::span(kZeros).first(Padding(materials.Png(i).size())));
  }
  files.Stage(files.destination(), pieces);
  return left_out;
}

}  // namespace durvane::exporting
