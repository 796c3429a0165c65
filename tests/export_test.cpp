// durvane export: a model's glTF and OBJ files against the renderer's model of it, bitmaps that
// are missing, and bad input.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "core/error.h"
#include "core/little_endian.h"
#include "render/png_codec.h"
#include "render/renderer.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"
#include "usecases/conversion_run.h"
#include "usecases/model_export.h"
#include "usecases/model_files.h"
#ifndef _WIN32
#include "tests/support/run_process.h"
#endif

namespace durvane {
namespace {

using namespace fixture;
using exporting::ExportFormat;

struct Vertex {
  std::array<float, 3> point;
  std::array<float, 2> pair;
  bool operator==(const Vertex&) const = default;
};
using Triangle = std::array<Vertex, 3>;

// Whether the renderer draws the polygon, worked out here: every value finite and, of its
// triangles (0, 1, 2) and (0, 2, 3), one with an area.
bool Drawn(const render::Polygon& p) {
  for (const render::Corner& c : p.corners) {
    for (float v : c.point) {
      if (!std::isfinite(v)) return false;
    }
    for (float v : c.pair) {
      if (!std::isfinite(v)) return false;
    }
  }
  const auto area = [&p](int a, int b, int c) {
    double u[3], v[3];
    for (int k = 0; k < 3; ++k) {
      u[k] = double{p.corners[b].point[k]} - p.corners[a].point[k];
      v[k] = double{p.corners[c].point[k]} - p.corners[a].point[k];
    }
    const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2],
                 z = u[0] * v[1] - u[1] * v[0];
    return x * x + y * y + z * z > 0;
  };
  return area(0, 1, 2) || (p.corner_count == 4 && area(0, 2, 3));
}

// Per material (bitmap index; the plain material last) the triangles the renderer draws, in
// file order.
std::vector<std::vector<Triangle>> ExpectedTriangles(const render::Model& model) {
  std::vector<std::vector<Triangle>> out(model.bitmap_names().size() + 1);
  for (std::size_t i = 0; i < model.size(); ++i) {
    const render::Polygon p = model[i];
    if (!Drawn(p)) continue;
    auto& list = out[std::min<std::size_t>(p.bitmap, model.bitmap_names().size())];
    const auto vertex = [&p](int c) { return Vertex{p.corners[c].point, p.corners[c].pair}; };
    list.push_back({vertex(0), vertex(1), vertex(2)});
    if (p.corner_count == 4) list.push_back({vertex(0), vertex(2), vertex(3)});
  }
  return out;
}

bool DecodeImage(tinygltf::Image* image, const int, std::string* err, std::string*, int, int,
                 const unsigned char* bytes, int size, void*) {
  try {
    const render::Image decoded =
        render::DecodePng(std::as_bytes(std::span(bytes, static_cast<std::size_t>(size))));
    image->width = decoded.width;
    image->height = decoded.height;
    image->component = 4;
    image->bits = 8;
    image->image.assign(decoded.rgba.begin(), decoded.rgba.end());
    return true;
  } catch (const Error& e) {
    *err += e.what();
    return false;
  }
}

bool Exists(const std::string& path, void*) {
  return std::filesystem::exists(path);
}
std::string Expand(const std::string& path, void*) {
  return path;
}
bool ReadWhole(std::vector<unsigned char>* out, std::string*, const std::string& path, void*) {
  const std::vector<std::byte> bytes = ReadBytes(path);
  out->resize(bytes.size());
  if (!bytes.empty()) std::memcpy(out->data(), bytes.data(), bytes.size());
  return std::filesystem::exists(path);
}
bool WriteNothing(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
  return false;
}

// A .glb or .gltf file read back by tinygltf's own loader.
tinygltf::Model LoadGltf(const std::filesystem::path& path) {
  tinygltf::TinyGLTF loader;
  loader.SetImageLoader(DecodeImage, nullptr);
  loader.SetFsCallbacks({Exists, Expand, ReadWhole, WriteNothing, nullptr});
  tinygltf::Model gltf;
  std::string err, warn;
  const std::vector<std::byte> bytes = ReadBytes(path);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const bool ok = path.extension() == ".glb"
                      ? loader.LoadBinaryFromMemory(&gltf, &err, &warn, data,
                                                    static_cast<unsigned>(bytes.size()))
                      : loader.LoadASCIIFromString(
                            &gltf, &err, &warn, reinterpret_cast<const char*>(data),
                            static_cast<unsigned>(bytes.size()), path.parent_path().string());
  EXPECT_TRUE(ok) << path << ": " << err;
  EXPECT_EQ(warn, "") << path;
  return gltf;
}

// Element i of an accessor of floats.
float FloatAt(const tinygltf::Model& gltf, int accessor, std::size_t i, int k) {
  const tinygltf::Accessor& a = gltf.accessors.at(static_cast<std::size_t>(accessor));
  const tinygltf::BufferView& view = gltf.bufferViews.at(static_cast<std::size_t>(a.bufferView));
  const int width = a.type == TINYGLTF_TYPE_VEC3 ? 3 : 2;
  const std::size_t at =
      view.byteOffset + a.byteOffset + (i * static_cast<std::size_t>(width) + k) * 4;
  const std::vector<unsigned char>& data = gltf.buffers.at(0).data;
  if (at + 4 > view.byteOffset + view.byteLength || at + 4 > data.size()) {
    ADD_FAILURE() << "element " << i << " lies outside its view";
    return 0;
  }
  return std::bit_cast<float>(LoadU32(reinterpret_cast<const std::byte*>(data.data()) + at));
}

// Per material, the triangles of the primitives that use it.
std::vector<std::vector<Triangle>> TrianglesOfGltf(const tinygltf::Model& gltf) {
  std::vector<std::vector<Triangle>> out(gltf.materials.size());
  for (const tinygltf::Mesh& mesh : gltf.meshes) {
    for (const tinygltf::Primitive& p : mesh.primitives) {
      EXPECT_EQ(p.mode, TINYGLTF_MODE_TRIANGLES);
      const int position = p.attributes.at("POSITION"), pair = p.attributes.at("TEXCOORD_0");
      const tinygltf::Accessor& indices = gltf.accessors.at(static_cast<std::size_t>(p.indices));
      EXPECT_EQ(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
      const tinygltf::BufferView& view = gltf.bufferViews.at(indices.bufferView);
      const std::vector<unsigned char>& buffer = gltf.buffers.at(0).data;
      const auto* data = reinterpret_cast<const std::byte*>(buffer.data());
      EXPECT_EQ(indices.count % 3, 0u);
      if (view.byteOffset + indices.count * 4 > buffer.size()) {
        ADD_FAILURE() << "the indices lie outside the buffer";
        continue;
      }
      for (std::size_t t = 0; t < indices.count / 3; ++t) {
        Triangle triangle;
        for (std::size_t k = 0; k < 3; ++k) {
          const std::size_t corner = LoadU32(data + view.byteOffset + (3 * t + k) * 4);
          for (int c = 0; c < 3; ++c) triangle[k].point[c] = FloatAt(gltf, position, corner, c);
          for (int c = 0; c < 2; ++c) triangle[k].pair[c] = FloatAt(gltf, pair, corner, c);
        }
        out.at(static_cast<std::size_t>(p.material)).push_back(triangle);
      }
    }
  }
  return out;
}

// Where the node's rotation takes (x, y, z).
std::array<double, 3> Rotated(const std::vector<double>& q, std::array<double, 3> v) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  return {
      (1 - 2 * (y * y + z * z)) * v[0] + 2 * (x * y - z * w) * v[1] + 2 * (x * z + y * w) * v[2],
      2 * (x * y + z * w) * v[0] + (1 - 2 * (x * x + z * z)) * v[1] + 2 * (y * z - x * w) * v[2],
      2 * (x * z - y * w) * v[0] + 2 * (y * z + x * w) * v[1] + (1 - 2 * (x * x + y * y)) * v[2]};
}

// The model files of the tests: the sample as OPT and PRJ file, and a generated model (some of
// whose polygons are not drawn).
struct ModelFile {
  std::string name;
  std::filesystem::path path;
};
std::vector<ModelFile> MakeModelFiles(const TempDir& dir) {
  WriteBytes(dir / "sample.opt", SampleModel().bytes);
  RunConversion(dir.path(), dir.path(), "sample.opt");
  WriteBytes(dir / "medium.opt", WorkloadModel(MediumModelShape(3)).bytes);
  return {{"sample OPT", dir / "sample.opt"},
          {"sample PRJ", dir / "sample" / "sample.prj"},
          {"generated OPT", dir / "medium.opt"}};
}

// sample.opt, and cut.opt: its first half, which a conversion refuses.
void WriteSampleAndCutSample(const TempDir& dir) {
  std::vector<std::byte> bytes = SampleModel().bytes;
  WriteBytes(dir / "sample.opt", bytes);
  bytes.resize(bytes.size() / 2);
  WriteBytes(dir / "cut.opt", bytes);
}

TEST(Export, GltfFilesHoldTheRenderersTrianglesPositionsPairsAndBitmaps) {
  TempDir dir;
  for (const ModelFile& m : MakeModelFiles(dir)) {
    const render::Model model = render::LoadModelFile(m.path);
    const auto expected = ExpectedTriangles(model);
    for (const ExportFormat format : {ExportFormat::kGlb, ExportFormat::kGltf}) {
      SCOPED_TRACE(m.name + (format == ExportFormat::kGlb ? ", glb" : ", gltf"));
      TempDir out;
      // A name that a URI must escape.
      const auto file = out / (format == ExportFormat::kGlb ? "model.glb" : "my model%.gltf");
      exporting::ExportModel(m.path, file, format);
      const tinygltf::Model gltf = LoadGltf(file);
      ASSERT_EQ(gltf.materials.size(), expected.size());
      EXPECT_TRUE(TrianglesOfGltf(gltf) == expected);

      // Stored z up, shown y up.
      ASSERT_EQ(gltf.nodes.size(), 1u);
      const auto up = Rotated(gltf.nodes[0].rotation, {0, 0, 1});
      EXPECT_NEAR(up[0], 0, 1e-6);
      EXPECT_NEAR(up[1], 1, 1e-6);
      EXPECT_NEAR(up[2], 0, 1e-6);

      // Each bitmap's pixels, its first stored row on top, where texture pair (0, 0) is.
      for (std::uint32_t b = 0; b < model.bitmap_names().size(); ++b) {
        const render::Bitmap* bitmap = model.bitmap(b);
        ASSERT_NE(bitmap, nullptr);
        const int texture = gltf.materials[b].pbrMetallicRoughness.baseColorTexture.index;
        ASSERT_GE(texture, 0);
        const tinygltf::Image& image = gltf.images.at(gltf.textures.at(texture).source);
        std::vector<unsigned char> png = image.image;
        if (format == ExportFormat::kGltf) {
          const render::Image decoded = render::DecodePng(ReadBytes(out / image.uri));
          png.assign(decoded.rgba.begin(), decoded.rgba.end());
        }
        ASSERT_EQ(png.size(), bitmap->pixels.size() * 4);
        for (std::size_t i = 0; i < bitmap->pixels.size(); ++i) {
          const render::Rgb c = bitmap->colours[bitmap->pixels[i]];
          ASSERT_EQ(
              (std::array<unsigned, 4>{png[4 * i], png[4 * i + 1], png[4 * i + 2], png[4 * i + 3]}),
              (std::array<unsigned, 4>{c.r, c.g, c.b, 255}))
              << "pixel " << i;
        }
      }
    }
  }
}

// An OBJ file's faces, each a list of its corners' positions and texture coordinates, with the
// material named before it.
struct ObjFace {
  std::string material;
  std::vector<Vertex> corners;
  bool operator==(const ObjFace&) const = default;
};

float ParseFloat(std::istringstream& line) {
  std::string word;
  line >> word;
  float value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  EXPECT_TRUE(ec == std::errc() && end == word.data() + word.size()) << word;
  return value;
}

std::vector<ObjFace> ReadObj(const std::filesystem::path& path, std::string& mtllib) {
  const std::vector<std::byte> bytes = ReadBytes(path);
  std::istringstream text(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<float, 2>> pairs;
  std::vector<ObjFace> faces;
  std::string material, line;
  while (std::getline(text, line)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "v") {
      points.push_back({ParseFloat(in), ParseFloat(in), ParseFloat(in)});
    } else if (kind == "vt") {
      pairs.push_back({ParseFloat(in), ParseFloat(in)});
    } else if (kind == "usemtl") {
      in >> material;
    } else if (kind == "mtllib") {
      in >> mtllib;
    } else if (kind == "f") {
      ObjFace face{material, {}};
      std::size_t v = 0, t = 0;
      char slash = 0;
      while (in >> v >> slash >> t) face.corners.push_back({points.at(v - 1), pairs.at(t - 1)});
      faces.push_back(face);
    }
  }
  return faces;
}

TEST(Export, AnObjFileHoldsEachDrawnPolygonAsOneFaceWithItsTextureRowsCountedFromTheBottom) {
  TempDir dir;
  for (const ModelFile& m : MakeModelFiles(dir)) {
    SCOPED_TRACE(m.name);
    const render::Model model = render::LoadModelFile(m.path);
    TempDir out;
    const exporting::ExportOutcome outcome =
        exporting::ExportModel(m.path, out / "ship.obj", ExportFormat::kObj);
    std::string mtllib;
    const std::vector<ObjFace> faces = ReadObj(out / "ship.obj", mtllib);
    EXPECT_EQ(mtllib, "ship.mtl");
    std::vector<ObjFace> expected;
    std::vector<std::string> names;
    for (const std::string& n : model.bitmap_names()) names.push_back(n.substr(0, n.find('.')));
    for (std::size_t i = 0; i < model.size(); ++i) {
      const render::Polygon p = model[i];
      if (!Drawn(p)) continue;
      ObjFace face{p.bitmap < names.size() ? names[p.bitmap] : "plain", {}};
      for (int c = 0; c < p.corner_count; ++c) {
        face.corners.push_back(
            {p.corners[c].point, {p.corners[c].pair[0], 1.0f - p.corners[c].pair[1]}});
      }
      expected.push_back(face);
    }
    ASSERT_EQ(faces.size(), expected.size());
    EXPECT_TRUE(faces == expected);

    // The material library names each bitmap's PNG file, written beside it.
    const auto mtl = ReadBytes(out / "ship.mtl");
    const std::string mtl_text(reinterpret_cast<const char*>(mtl.data()), mtl.size());
    for (std::uint32_t b = 0; b < names.size(); ++b) {
      EXPECT_NE(mtl_text.find("newmtl " + names[b] + "\n"), std::string::npos);
      EXPECT_NE(mtl_text.find("map_Kd " + names[b] + ".png\n"), std::string::npos);
      EXPECT_EQ(render::DecodePng(ReadBytes(out / (names[b] + ".png"))).width,
                model.bitmap(b)->width);
    }
    std::vector<std::string> written;
    for (const auto& f : outcome.files) written.push_back(f.filename().string());
    std::vector<std::string> listed = ListTree(out.path());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, listed);
  }
}

TEST(Export, AMissingBitmapGivesAPlainMaterialAndOneWarningNamingIt) {
  TempDir dir;
  WriteBytes(dir / "sample.opt", SampleModel().bytes);
  RunConversion(dir.path(), dir.path(), "sample.opt");
  std::filesystem::remove(dir / "sample" / "WING_A01.BMP");
  for (const ExportFormat format : {ExportFormat::kGlb, ExportFormat::kObj}) {
    TempDir out;
    const auto file = out / (format == ExportFormat::kGlb ? "ship.glb" : "ship.obj");
    const exporting::ExportOutcome outcome =
        exporting::ExportModel(dir / "sample" / "sample.prj", file, format);
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_NE(outcome.warnings[0].find("'WING_A01.BMP'"), std::string::npos) << outcome.warnings[0];
    if (format == ExportFormat::kObj) {
      EXPECT_EQ(ListTree(out.path()),
                (std::vector<std::string>{"HULL0001.png", "ship.mtl", "ship.obj"}));
      continue;
    }
    const tinygltf::Model gltf = LoadGltf(file);
    ASSERT_EQ(gltf.materials.size(), 3u);
    EXPECT_EQ(gltf.materials[0].name, "HULL0001");
    EXPECT_GE(gltf.materials[0].pbrMetallicRoughness.baseColorTexture.index, 0);
    EXPECT_EQ(gltf.materials[1].name, "WING_A01");
    EXPECT_EQ(gltf.materials[1].pbrMetallicRoughness.baseColorTexture.index, -1);
    EXPECT_NEAR(gltf.materials[1].pbrMetallicRoughness.baseColorFactor[0], 200.0 / 255, 1e-9);
    EXPECT_EQ(gltf.images.size(), 1u);
  }
}

TEST(Export, NothingIsWrittenWhenTheInputIsRefusedTheOutputCannotBeWrittenOrTheRunIsCancelled) {
  TempDir dir;
  WriteSampleAndCutSample(dir);
  RunConversion(dir.path(), dir.path(), "sample.opt");
  std::vector<std::byte> cut_prj = ReadBytes(dir / "sample" / "sample.prj");
  cut_prj.resize(cut_prj.size() - 7);
  WriteBytes(dir / "sample" / "cut.prj", cut_prj);
  struct Case {
    std::string name;
    std::filesystem::path input;
    std::string output;
    ExportFormat format;
    exporting::CancelCheck cancelled;
    bool input_refused;  // with the error a picture of it gives
  };
  const Case cases[] = {
      {"an OPT file the conversion refuses",
       dir / "cut.opt",
       "x.glb",
       ExportFormat::kGlb,
       {},
       true},
      {"a PRJ file cut short", dir / "sample" / "cut.prj", "x.obj", ExportFormat::kObj, {}, true},
      {"a .bin that is a folder", dir / "sample.opt", "y.gltf", ExportFormat::kGltf, {}, false},
      {"a .bin named as the output", dir / "sample.opt", "x.bin", ExportFormat::kGltf, {}, false},
      {"cancelled", dir / "sample.opt", "x.obj", ExportFormat::kObj, [] { return true; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    std::filesystem::create_directory(out / "y.bin");
    const std::vector<std::string> before = ListTree(out.path());
    std::string message;
    try {
      exporting::ExportModel(c.input, out / c.output, c.format, c.cancelled);
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      message = e.what();
    }
    EXPECT_EQ(ListTree(out.path()), before);
    if (c.input_refused) {
      try {
        render::LoadModelFile(c.input);
        ADD_FAILURE() << "the model loads";
      } catch (const std::exception& e) {
        EXPECT_EQ(message, e.what());
      }
    }
  }
}

#ifndef _WIN32
// They run the tool as a child process.
const std::string kDurvane = DURVANE_BIN_DIR "/durvane";

TEST(ExportCommand, WritesNameDotGlbOrFailsAsRenderDoes) {
  TempDir dir;
  WriteSampleAndCutSample(dir);
  WriteBytes(dir / "bad.prj", TextBytes("not a PRJ file at all"));
  WriteBytes(dir / "sample.txt", TextBytes("text"));

  // By default <name>.glb in the current folder.
  ProcessResult r = RunProcess("/bin/sh", {"-c", "cd '" + dir.path().string() + "' && '" +
                                                     kDurvane + "' export sample.opt"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "wrote sample.glb\n");
  EXPECT_EQ(LoadGltf(dir / "sample.glb").materials.size(), 3u);

  struct Case {
    std::vector<std::string> args;
    int exit_status;
    std::string err;  // part of stderr; for exit status 1, render's error for the same file
  };
  const Case cases[] = {
      {{(dir / "cut.opt").string()}, 1, ""},
      {{(dir / "bad.prj").string()}, 1, ""},
      {{(dir / "sample.txt").string()}, 1, "does not end in \".opt\" or \".prj\""},
      {{"--format", "stl", (dir / "sample.opt").string()}, 2, "unknown format 'stl'"},
      {{"--format"}, 2, "--format needs glb, gltf or obj"},
      {{(dir / "sample.opt").string(), (dir / "sample.opt").string()}, 2, "export takes one file"},
      {{}, 2, "no file given"},
  };
  for (const Case& c : cases) {
    TempDir out;
    std::vector<std::string> args = {"export", "-o", (out / "x.glb").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = RunProcess(kDurvane, args);
    SCOPED_TRACE(c.args.empty() ? "none" : c.args.back());
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_TRUE(ListTree(out.path()).empty());
    if (c.exit_status == 1 && c.err.empty()) {
      const ProcessResult render =
          RunProcess(kDurvane, {"render", "-o", (out / "x.png").string(), c.args.back()});
      EXPECT_EQ(r.err, render.err);
    }
  }
}
#endif

}  // namespace
}  // namespace durvane
