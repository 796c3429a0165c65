// durvane render: the picture of a model from OPT and PRJ files, and what bad input does.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

#include "core/error.h"
#include "core/little_endian.h"
#include "render/bitmap.h"
#include "render/png_codec.h"
#include "render/prj_records.h"
#include "render/renderer.h"
#include "render/renderer_testing.h"
#include "tests/support/merge_pair.h"
#include "tests/support/opt_builder.h"
#include "tests/support/prj_fixture.h"
#include "usecases/conversion_run.h"
#include "usecases/merge_run.h"
#include "usecases/model_files.h"
#ifndef _WIN32
#include "tests/support/child_process.h"
#include "tests/support/run_process.h"
#endif
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

namespace durvane {
namespace {

using namespace fixture;
using render::RenderOptions;
using render::View;

// Says, once per run of the program, which code Render draws with in these tests.
class RenderPathReport : public ::testing::Environment {
 public:
  void SetUp() override {
    std::cout << "render tests: Render draws with the " << render::RenderPath() << " code\n";
  }
};
[[maybe_unused]] ::testing::Environment* const kRenderPathReport =
    ::testing::AddGlobalTestEnvironment(std::make_unique<RenderPathReport>().release());

TEST(RenderPath, IsTheVectorCodeWhereTheBuildAndTheProcessorHaveIt) {
  const std::string path(render::RenderPath());
  RecordProperty("render_path", path);
#if DURVANE_VECTOR_PATHS_BUILT && defined(__x86_64__) && !defined(_WIN32) && \
    (defined(__GNUC__) || defined(__clang__))
  const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  EXPECT_EQ(path, avx2 ? "avx2" : "portable");
#else
  EXPECT_EQ(path, "portable");
#endif
}

// 5-6-5 colours of the one-pixel bitmaps that tell faces apart.
constexpr std::uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;
constexpr std::uint16_t kYellow = kRed | kGreen, kMagenta = kRed | kBlue, kCyan = kGreen | kBlue;

// A bitmap of `colours.size()` pixels in one row, pixel n in colour n.
TextureDesc ColourBitmap(const std::string& name, const std::vector<std::uint16_t>& colours,
                         int width, int height) {
  TextureDesc t;
  t.name = name;
  t.width = width;
  t.height = height;
  t.pixels.clear();
  for (std::size_t n = 0; n < colours.size(); ++n) {
    t.palette[n] = colours[n];
    t.pixels.push_back(static_cast<std::uint8_t>(n));
  }
  return t;
}

struct Face {
  std::vector<Vertex> points;  // 3 or 4
  std::vector<Pair> pairs;     // one per point
  int bitmap = -1;             // index into the model's bitmaps; -1 keeps the last one
};

// An OPT file of `faces`, each a polygon list of one row after the texture it names.
BuiltOpt FacesModel(const std::vector<Face>& faces, const std::vector<TextureDesc>& bitmaps) {
  OptBuilder b;
  std::vector<Vertex> points;
  std::vector<Pair> pairs;
  std::vector<PolygonRow> rows;
  for (const Face& f : faces) {
    PolygonRow row;
    row.vertices = row.pairs = {-1, -1, -1, -1};
    for (std::size_t c = 0; c < f.points.size(); ++c) {
      row.vertices[c] = static_cast<std::int32_t>(points.size());
      row.pairs[c] = static_cast<std::int32_t>(pairs.size());
      points.push_back(f.points[c]);
      pairs.push_back(f.pairs[c]);
    }
    rows.push_back(row);
  }
  const int vertex_list = VertexList(b, points);
  const int pair_list = PairList(b, pairs);
  std::vector<int> texture_nodes;
  for (const TextureDesc& t : bitmaps) texture_nodes.push_back(Texture(b, t));
  std::vector<Ref> p_children;
  for (std::size_t i = 0; i < faces.size(); ++i) {
    if (faces[i].bitmap >= 0) p_children.push_back(Ref::To(texture_nodes[faces[i].bitmap]));
    p_children.push_back(Ref::To(PolygonList(b, {rows[i]})));
  }
  // One record each for sections FF04 and FF05, as a merge wants of every top-level node.
  const int top =
      TopLevelNode(b, {Ref::To(vertex_list), Ref::To(pair_list), Ref::To(Group(b, p_children)),
                       Ref::To(RecordNode(b, 25, std::vector<std::int32_t>(18))),
                       Ref::To(RecordNode(b, 23, std::vector<std::int32_t>(12)))});
  b.TopLevel({Ref::To(top)});
  return b.Build();
}

// A square face at `axis` = `at` (axis 0, 1 or 2), from -half to half on the other two axes.
Face Square(int axis, float at, float half, int bitmap) {
  Face f;
  const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
  for (const auto& c : corners) {
    Vertex v{};
    v[axis] = at;
    v[(axis + 1) % 3] = c[0];
    v[(axis + 2) % 3] = c[1];
    f.points.push_back(v);
    f.pairs.push_back({c[0] > 0 ? 1.0f : 0.0f, c[1] > 0 ? 1.0f : 0.0f});
  }
  f.bitmap = bitmap;
  return f;
}

// A cube of side 2 about (centre_x, 0, 0) whose faces +x, -x, +y, -y, +z, -z are red, green,
// blue, yellow, magenta and cyan, from bitmaps named <prefix><n>.
BuiltOpt ColourCube(float centre_x = 0, const std::string& prefix = "FACE___") {
  std::vector<Face> faces;
  std::vector<TextureDesc> bitmaps;
  const std::uint16_t colours[] = {kRed, kGreen, kBlue, kYellow, kMagenta, kCyan};
  for (int n = 0; n < 6; ++n) {
    faces.push_back(Square(n / 2, n % 2 == 0 ? 1.0f : -1.0f, 1.0f, n));
    for (auto& p : faces.back().points) p[0] += centre_x;
    bitmaps.push_back(ColourBitmap(prefix + std::to_string(n), {colours[n]}, 1, 1));
  }
  return FacesModel(faces, bitmaps);
}

render::Model ModelOf(const TempDir& dir, const std::string& name, const BuiltOpt& opt) {
  WriteBytes(dir / name, opt.bytes);
  return render::LoadModelFile(dir / name);
}

render::Rendering Draw(const render::Model& model, View view, int side = 64) {
  RenderOptions options;
  options.view = view;
  options.width = options.height = side;
  return render::Render(model, options);
}

// Which channels of a pixel are lit: bit 0 red, 1 green, 2 blue; -1 when transparent.
int Channels(const render::Image& image, int x, int y) {
  const std::uint8_t* p = image.Pixel(x, y);
  if (p[3] == 0) return -1;
  return (p[0] > 0 ? 1 : 0) | (p[1] > 0 ? 2 : 0) | (p[2] > 0 ? 4 : 0);
}
constexpr int kRedBits = 1, kGreenBits = 2, kBlueBits = 4;

TEST(Render, ACubeFromEachAxisFillsItsSquareInTheFacingFaceColour) {
  struct Case {
    View view;
    int channels;  // of the face the camera looks at
  };
  const Case cases[] = {{View::kPlusX, kRedBits},
                        {View::kMinusX, kGreenBits},
                        {View::kPlusY, kBlueBits},
                        {View::kMinusY, kRedBits | kGreenBits},
                        {View::kPlusZ, kRedBits | kBlueBits},
                        {View::kMinusZ, kGreenBits | kBlueBits}};
  TempDir dir;
  const render::Model model = ModelOf(dir, "cube.opt", ColourCube());
  // The bounding sphere (radius the root of 3) spans kSphereFit of the picture's side; the
  // face, of side 2, spans that fraction of it, centred. Pixels count when their centre lies
  // inside.
  constexpr int kSide = 64;
  const double half = render::kSphereFit * kSide / (2 * std::sqrt(3.0));
  const int first = static_cast<int>(std::ceil(kSide / 2.0 - half - 0.5));
  const int last = static_cast<int>(std::floor(kSide / 2.0 + half - 0.5));
  for (const Case& c : cases) {
    const render::Rendering r = Draw(model, c.view, kSide);
    EXPECT_TRUE(r.warnings.empty());
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const bool inside = x >= first && x <= last && y >= first && y <= last;
        ASSERT_EQ(Channels(r.image, x, y), inside ? c.channels : -1)
            << "view " << static_cast<int>(c.view) << " pixel " << x << "," << y;
      }
    }
  }
}

TEST(Render, YawAndPitchTurnTheCameraFromTheNamedView) {
  // Pitch raises the camera towards +z and yaw turns it about z towards +y, from the view's
  // own angles: a turn that reaches another view draws exactly its picture.
  struct Case {
    View view;
    double yaw, pitch;
    View same_as;
    double same_yaw;
    int channels;  // of the face the camera looks at
  };
  const Case cases[] = {{View::kPlusX, 0, 90, View::kPlusZ, 0, kRedBits | kBlueBits},
                        {View::kPlusX, 0, -90, View::kMinusZ, 0, kGreenBits | kBlueBits},
                        {View::kPlusX, 90, 0, View::kPlusY, 0, kBlueBits},
                        {View::kPlusX, -90, 0, View::kMinusY, 0, kRedBits | kGreenBits},
                        {View::kMinusY, 180, 0, View::kPlusY, 0, kBlueBits},
                        // From +y raised to the top: +z's view turned a quarter.
                        {View::kPlusY, 0, 90, View::kPlusZ, 90, kRedBits | kBlueBits}};
  // ColourCube's faces, and a red square just above the top face, off its centre, so that
  // the pictures from above differ when turned.
  std::vector<Face> faces;
  std::vector<TextureDesc> bitmaps;
  const std::uint16_t colours[] = {kRed, kGreen, kBlue, kYellow, kMagenta, kCyan};
  for (int n = 0; n < 6; ++n) {
    faces.push_back(Square(n / 2, n % 2 == 0 ? 1.0f : -1.0f, 1.0f, n));
    bitmaps.push_back(ColourBitmap("FACE___" + std::to_string(n), {colours[n]}, 1, 1));
  }
  faces.push_back(Square(2, 1.01f, 0.2f, 0));
  for (auto& p : faces.back().points) p = {p[0] + 0.5f, p[1] + 0.3f, p[2]};
  TempDir dir;
  const render::Model model = ModelOf(dir, "cube.opt", FacesModel(faces, bitmaps));
  for (const Case& c : cases) {
    RenderOptions turned;
    turned.view = c.view;
    turned.yaw = c.yaw;
    turned.pitch = c.pitch;
    turned.width = turned.height = 64;
    RenderOptions named = turned;
    named.view = c.same_as;
    named.yaw = c.same_yaw;
    named.pitch = 0;
    const render::Image image = render::Render(model, turned).image;
    const std::string what = std::to_string(static_cast<int>(c.view)) + " " +
                             std::to_string(c.yaw) + " " + std::to_string(c.pitch);
    EXPECT_EQ(Channels(image, 32, 32), c.channels) << what;
    EXPECT_EQ(image.rgba, render::Render(model, named).image.rgba) << what;
  }
}

TEST(Render, ASquareWhoseEdgesLieOnPixelCentresCoversTheRowsAndColumnsFromItsTopLeft) {
  // A square of side 2 in the plane z = 0, seen from +z, with a triangle hidden behind it at
  // z = -depth that deepens the bounding box so that the square's half side spans `half`
  // pixels: its edges fall on pixel centres (within the corners' fixed point). A centre on the
  // left or top edge is inside, one on the right or bottom edge outside, as for any triangle:
  // two squares side by side would share the centres on their common edge, not draw them twice.
  struct Case {
    int width, height;
    double half;  // pixels
  };
  const Case cases[] = {{64, 64, 19.5}, {65, 65, 20}, {80, 64, 19.5}, {63, 81, 18}};
  for (const Case& c : cases) {
    const int side = std::min(c.width, c.height);
    // The sphere's radius is half the box's diagonal, sqrt(8 + depth^2) / 2 units.
    const double fitted = render::kSphereFit * side / c.half;
    const auto depth = static_cast<float>(std::sqrt(fitted * fitted - 8));
    Face behind;
    behind.points = {{-0.5f, -0.5f, -depth}, {0.5f, -0.5f, -depth}, {0, 0.5f, -depth}};
    behind.pairs = {{0, 0}, {0, 0}, {0, 0}};
    behind.bitmap = 1;
    TempDir dir;
    const render::Model model = ModelOf(
        dir, "square.opt",
        FacesModel({Square(2, 0, 1, 0), behind}, {ColourBitmap("RED_____", {kRed}, 1, 1),
                                                  ColourBitmap("BLUE____", {kBlue}, 1, 1)}));
    RenderOptions options;
    options.view = View::kPlusZ;
    options.width = c.width;
    options.height = c.height;
    // Pixel centres lie at whole numbers plus a half.
    const auto first = [&](int extent) { return static_cast<int>(extent / 2.0 - c.half - 0.5); };
    const auto end = [&](int extent) { return static_cast<int>(extent / 2.0 + c.half - 0.5); };
    for (const render::Image& image :
         {render::Render(model, options).image, render::RenderExhaustively(model, options).image}) {
      for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
          const bool inside =
              x >= first(c.width) && x < end(c.width) && y >= first(c.height) && y < end(c.height);
          ASSERT_EQ(Channels(image, x, y), inside ? kRedBits : -1)
              << c.width << "x" << c.height << " pixel " << x << "," << y;
        }
      }
    }
  }
}

TEST(Render, ATwoColourBitmapShowsEachColourWhereThePairsPutIt) {
  // One square in the plane z = 0 seen from +z: the picture's right is +y, its top -x.
  struct Case {
    int width, height;
    float du, dv;  // added to every pair
    int top, bottom, left, right;
  };
  const Case cases[] = {
      {2, 1, 0, 0, kRedBits, kBlueBits, -2, -2},  // u runs along x: red at x < 0
      {2, 1, 1, 3, kRedBits, kBlueBits, -2, -2},  // whole turns wrap to the same place
      {2, 1, 0.5f, 0, kBlueBits, kRedBits, -2, -2},
      {2, 1, -1.5f, 0, kBlueBits, kRedBits, -2, -2},  // wraps below 0 too
      {1, 2, 0, 0, -2, -2, kRedBits, kBlueBits},      // v runs along y, over the rows
  };
  for (const Case& c : cases) {
    Face face = Square(2, 0, 1, 0);
    for (auto& p : face.pairs) p = {p[0] + c.du, p[1] + c.dv};
    TempDir dir;
    const render::Model model =
        ModelOf(dir, "face.opt",
                FacesModel({face}, {ColourBitmap("TWO_____", {kRed, kBlue}, c.width, c.height)}));
    const render::Image image = Draw(model, View::kPlusZ).image;
    const auto expect = [&](int x, int y, int channels) {
      if (channels != -2) {
        EXPECT_EQ(Channels(image, x, y), channels) << x << "," << y;
      }
    };
    expect(32, 22, c.top);
    expect(32, 42, c.bottom);
    expect(22, 32, c.left);
    expect(42, 32, c.right);
  }
}

TEST(Render, EachOfThousandsOfFacesIsPaintedFromItsOwnTexturePair) {
  // A grid of 48 by 48 squares in the plane x = 0, seen from +x (right +y, up +z), each
  // painted in one of 256 colours by pairs that all point at one pixel of a 16 by 16 bitmap.
  // Squares 1,024 apart (2,048 triangles) differ in colour; painting keeps what it works out
  // per triangle for recent triangles, and must never paint a square with another's.
  constexpr int kGrid = 48, kSide = 300;
  std::vector<std::uint16_t> colours;
  for (int n = 0; n < 256; ++n) {
    colours.push_back(static_cast<std::uint16_t>(
        ((n % 8) * 4 + 2) << 11 | (((n / 8) % 8) * 8 + 4) << 5 | ((n / 64) * 8 + 4)));
  }
  const auto colour_of = [](int k) { return (k + k / 1024) % 256; };
  std::vector<Face> faces;
  for (int k = 0; k < kGrid * kGrid; ++k) {
    const float y = static_cast<float>(k % kGrid), z = static_cast<float>(k / kGrid);
    const int n = colour_of(k);
    const Pair pair{(static_cast<float>(n % 16) + 0.5f) / 16,
                    (static_cast<float>(n / 16) + 0.5f) / 16};
    Face f;
    f.points = {{0, y + 0.05f, z + 0.05f},
                {0, y + 0.95f, z + 0.05f},
                {0, y + 0.95f, z + 0.95f},
                {0, y + 0.05f, z + 0.95f}};
    f.pairs = {pair, pair, pair, pair};
    f.bitmap = k == 0 ? 0 : -1;
    faces.push_back(f);
  }
  TempDir dir;
  const render::Model model =
      ModelOf(dir, "grid.opt", FacesModel(faces, {ColourBitmap("GRID____", colours, 16, 16)}));
  const render::Image image = Draw(model, View::kPlusX, kSide).image;
  const double scale = render::kSphereFit * kSide / (std::sqrt(2.0) * kGrid);  // pixels per unit
  std::map<int, std::array<std::uint8_t, 4>> seen;  // per colour, its pixel
  std::set<std::array<std::uint8_t, 4>> distinct;
  for (int k = 0; k < kGrid * kGrid; ++k) {
    const int x = static_cast<int>(kSide / 2.0 + scale * (k % kGrid + 0.5 - kGrid / 2.0));
    const int y = static_cast<int>(kSide / 2.0 - scale * (k / kGrid + 0.5 - kGrid / 2.0));
    const std::uint8_t* p = image.Pixel(x, y);
    const std::array<std::uint8_t, 4> pixel{p[0], p[1], p[2], p[3]};
    ASSERT_EQ(pixel[3], 255) << "square " << k;
    const auto [it, first] = seen.try_emplace(colour_of(k), pixel);
    ASSERT_EQ(it->second, pixel) << "square " << k;
    distinct.insert(pixel);
  }
  EXPECT_EQ(distinct.size(), 256u);
}

TEST(Render, TheNearerOfTwoOverlappingFacesWins) {
  // A red square at z = 1 and a blue one at z = -1, drawn in either order; also scaled to the
  // edge of single precision, where depths differ by more than a float can hold.
  const std::vector<TextureDesc> bitmaps = {ColourBitmap("RED_____", {kRed}, 1, 1),
                                            ColourBitmap("BLUE____", {kBlue}, 1, 1)};
  struct Case {
    bool red_first;
    View view;
    int centre;
    float scale = 1;
  };
  const Case cases[] = {
      {true, View::kPlusZ, kRedBits},        {false, View::kPlusZ, kRedBits},
      {true, View::kMinusZ, kBlueBits},      {false, View::kMinusZ, kBlueBits},
      {true, View::kPlusZ, kRedBits, 3e38f}, {false, View::kMinusZ, kBlueBits, 3e38f}};
  for (const Case& c : cases) {
    TempDir dir;
    const Face red = Square(2, c.scale, c.scale, 0);
    const Face blue = Square(2, -c.scale, c.scale, 1);
    const auto faces = c.red_first ? std::vector<Face>{red, blue} : std::vector<Face>{blue, red};
    const render::Model model = ModelOf(dir, "two.opt", FacesModel(faces, bitmaps));
    EXPECT_EQ(Channels(Draw(model, c.view).image, 32, 32), c.centre)
        << c.red_first << " " << static_cast<int>(c.view) << " " << c.scale;
  }
}

TEST(Render, OfTwoCoincidentFacesTheFirstInTheFileShows) {
  // The same square twice, red and blue, at equal depths everywhere: whichever comes first in
  // the file shows, from either side, with or without the drawing's shortcuts.
  const std::vector<TextureDesc> bitmaps = {ColourBitmap("RED_____", {kRed}, 1, 1),
                                            ColourBitmap("BLUE____", {kBlue}, 1, 1)};
  Face red = Square(0, 0.25f, 1, 0);
  for (auto& p : red.points) p[0] += 0.3f * p[1];  // sloping, so depths vary over the pixels
  Face blue = red;
  blue.bitmap = 1;
  for (const bool red_first : {true, false}) {
    TempDir dir;
    const auto faces = red_first ? std::vector<Face>{red, blue} : std::vector<Face>{blue, red};
    const render::Model model = ModelOf(dir, "two.opt", FacesModel(faces, bitmaps));
    for (const View view : {View::kPlusX, View::kMinusX, View::kIso}) {
      RenderOptions options;
      options.view = view;
      options.width = options.height = 96;
      for (const render::Image& image :
           {render::Render(model, options).image, render::RenderPortably(model, options).image,
            render::RenderExhaustively(model, options).image}) {
        std::size_t shown = 0;
        for (int y = 0; y < image.height; ++y) {
          for (int x = 0; x < image.width; ++x) {
            const int channels = Channels(image, x, y);
            if (channels == -1) continue;
            ++shown;
            ASSERT_EQ(channels, red_first ? kRedBits : kBlueBits)
                << red_first << " view " << static_cast<int>(view) << " " << x << "," << y;
          }
        }
        EXPECT_GT(shown, 1000u) << static_cast<int>(view);
      }
    }
  }
}

TEST(Render, EveryPolygonOfAnOptFileReadsAsItsConvertedRecords) {
  // Lists of 480 polygons across runs of 256, some tables shared by several lists.
  TempDir dir;
  WriteBytes(dir / "medium.opt", fixture::WorkloadModel(fixture::MediumModelShape(3)).bytes);
  RunConversion(dir.path(), dir.path(), "medium.opt", Durability::kNoSync);
  const render::Model from_opt = render::LoadModelFile(dir / "medium.opt");
  const render::Model from_prj = render::LoadModelFile(dir / "medium" / "medium.prj");
  ASSERT_EQ(from_opt.size(), from_prj.size());
  ASSERT_GT(from_opt.size(), 10000u);
  std::size_t differing = 0;
  for (std::size_t i = 0; i < from_opt.size(); ++i) {
    const render::Polygon a = from_opt[i], b = from_prj[i];
    bool same = a.corner_count == b.corner_count && a.bitmap == b.bitmap;
    const render::Polygon points = from_opt.Points(i, a.corner_count);
    for (std::size_t c = 0; c < 4; ++c) {
      same = same && std::memcmp(&a.corners[c], &b.corners[c], sizeof a.corners[c]) == 0 &&
             std::memcmp(&points.corners[c].point, &b.corners[c].point,
                         sizeof points.corners[c].point) == 0;
    }
    differing += same ? 0 : 1;
  }
  EXPECT_EQ(differing, 0u);
}

TEST(BitmapNames, AreReadAlikeFromTheFileFromItsBytesAndAsTheBuilderHandsThemOn) {
  // Names of 0 to 255 bytes, in runs of the same name and changing, over more than the
  // file window's 256 KiB; the first string names the bitmap, the other three are passed over.
  fixture::PrjLayoutDesc desc;
  std::vector<std::string> first_names;
  for (int p = 0; p < 3000; ++p) {
    fixture::PrjNameRecord name;
    // Pairs of one name, then another of the same length; now and then empty or long.
    const int length = p % 11 == 0 ? 0 : (p / 4) % 5 == 0 ? (p * 37) % 256 : 8;
    name.strings = {
        std::string(static_cast<std::size_t>(length), static_cast<char>('A' + (p / 2) % 3))};
    if (p % 7 == 0) {
      name.flag = 1;
      name.strings.insert(name.strings.end(), {"", std::string(255, 'C'), "D.BMP"});
    }
    first_names.push_back(name.strings[0]);
    desc.Polygon(p % 50, static_cast<std::uint8_t>(p), name);
  }
  render::BitmapNames expected;
  std::map<std::string, std::uint32_t> index_of;
  for (const std::string& name : first_names) {
    const auto [it, inserted] =
        index_of.try_emplace(name, static_cast<std::uint32_t>(expected.names.size()));
    if (inserted) expected.names.push_back(name);
    expected.of_polygon.push_back(it->second);
  }

  TempDir dir;
  const std::vector<std::byte> bytes = fixture::BuildPrjFile(desc);
  ASSERT_GT(bytes.size(), std::size_t{300} << 10);
  WriteBytes(dir / "names.prj", bytes);
  // As a builder hands them on: runs of one name, as polygon list nodes give them.
  render::BitmapNameIndex handed(first_names.size());
  for (std::size_t p = 0; p < first_names.size();) {
    std::size_t run = 1;
    while (p + run < first_names.size() && first_names[p + run] == first_names[p]) ++run;
    handed.FirstBitmapNames(static_cast<std::int32_t>(run), first_names[p]);
    p += run;
  }
  const render::BitmapNames read[] = {render::ReadPrjFileRecords(dir / "names.prj").names,
                                      render::ReadBitmapNames(render::FindPolygonRecords(bytes)),
                                      handed.Finish()};
  for (const render::BitmapNames& names : read) {
    EXPECT_EQ(names.names, expected.names);
    EXPECT_EQ(names.of_polygon, expected.of_polygon);
  }
}

TEST(Render, AnOptFileAndItsConvertedPrjFileGiveTheSamePixels) {
  TempDir dir;
  WriteBytes(dir / "sample.opt", SampleModel().bytes);
  RunConversion(dir.path(), dir.path(), "sample.opt");
  const render::Model from_opt = render::LoadModelFile(dir / "sample.opt");
  const render::Model from_prj = render::LoadModelFile(dir / "sample" / "sample.prj");
  ASSERT_GT(from_opt.size(), 0u);
  EXPECT_EQ(from_opt.warnings(), from_prj.warnings());
  for (const View view : {View::kIso, View::kPlusX, View::kMinusZ}) {
    for (const bool flat : {false, true}) {
      RenderOptions options;
      options.view = view;
      options.flat = flat;
      options.yaw = 20;
      options.width = 96;
      options.height = 80;
      const render::Rendering a = render::Render(from_opt, options);
      const render::Rendering b = render::Render(from_prj, options);
      EXPECT_EQ(a.image.rgba, b.image.rgba) << static_cast<int>(view) << " flat " << flat;
      EXPECT_EQ(a.warnings, b.warnings);
      // Textures were drawn: more than the flat colour's shades of grey show.
      std::set<std::array<std::uint8_t, 3>> colours;
      for (std::size_t i = 0; i < a.image.rgba.size(); i += 4) {
        colours.insert({a.image.rgba[i], a.image.rgba[i + 1], a.image.rgba[i + 2]});
      }
      if (!flat) {
        EXPECT_GT(colours.size(), 8u);
      }
    }
  }
}

// Every polygon of a model read from an OPT file equals the one read from its converted PRJ
// file, corner bytes, corner count and bitmap name alike.
TEST(Render, AnOptFilesPolygonsAreThoseOfItsConvertedPrjFile) {
  struct Case {
    const char* what;
    BuiltOpt opt;
  };
  // The workload's lists change textures by name, by groups of four and of one, hold triangles,
  // and some use the tables of an earlier top-level node; its section FF02 spans many of the
  // chunks the PRJ file is streamed in.
  const Case cases[] = {{"sample", SampleModel()},
                        {"workload", fixture::WorkloadModel(fixture::MediumModelShape(7))},
                        {"cube", ColourCube()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteBytes(dir / "model.opt", c.opt.bytes);
    RunConversion(dir.path(), dir.path(), "model.opt", Durability::kNoSync);
    const render::Model from_opt = render::LoadModelFile(dir / "model.opt");
    const render::Model from_prj = render::LoadModelFile(dir / "model" / "model.prj");
    ASSERT_GT(from_opt.size(), 0u);
    ASSERT_EQ(from_opt.size(), from_prj.size());
    EXPECT_EQ(from_opt.bitmap_names(), from_prj.bitmap_names());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < from_opt.size(); ++i) {
      const render::Polygon a = from_opt[i];
      const render::Polygon b = from_prj[i];
      if (std::memcmp(a.corners.data(), b.corners.data(), sizeof a.corners) != 0 ||
          a.corner_count != b.corner_count || a.bitmap != b.bitmap) {
        ++differing;
      }
    }
    EXPECT_EQ(differing, 0u);
  }
}

#ifndef _WIN32
// Shared nodes can make a small OPT file's PRJ file huge: drawing it holds no such file. The
// peak is measured in a child process, through POSIX calls.
TEST(Render, AnOptFileWhoseSharedNodesMakeAHugePrjFileIsDrawnInLittleMemory) {
  const std::vector<std::byte> bytes = SharedNodesModel();
  ASSERT_LT(bytes.size(), 16384u);

  TempDir dir;
  WriteBytes(dir / "shared.opt", bytes);
  const auto outcome = RunInChild({}, [&] {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const render::Model model = render::LoadModelFile(dir / "shared.opt");
    const render::Rendering rendering = Draw(model, View::kMinusZ, 32);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    return std::to_string(model.size()) + " " + std::to_string(rendering.polygons_drawn) + " " +
           std::to_string((after.ru_maxrss - before.ru_maxrss) / 1024);
  });
  ASSERT_TRUE(outcome.exited && outcome.exit_code == 0) << outcome.report;
  std::size_t size = 0, drawn = 0, grown_mib = 0;
  std::istringstream(outcome.report) >> size >> drawn >> grown_mib;
  EXPECT_EQ(size, 983040u) << outcome.report;
  EXPECT_EQ(drawn, size) << outcome.report;
  EXPECT_LT(grown_mib, 64u) << "peak memory grew by " << grown_mib << " MiB";
}
#endif

TEST(Render, AMergedPrjFileDrawsBothModels) {
  TempDir dir;
  WriteBytes(dir / "left.opt", ColourCube(-3).bytes);
  WriteBytes(dir / "right.opt", ColourCube(3, "RIGHT__").bytes);
  RunConversion(dir.path(), dir.path(), "left.opt");
  RunConversion(dir.path(), dir.path(), "right.opt");
  const auto first = dir / "left" / "left.prj";
  merge::MergePrj(first, dir / "right" / "right.prj");
  const render::Model merged = render::LoadModelFile(first);
  EXPECT_EQ(merged.size(), 12u);
  // The right cube's bitmaps were written beside the other PRJ file: one warning each.
  ASSERT_EQ(merged.warnings().size(), 6u);
  EXPECT_NE(merged.warnings()[4].find("bitmap 'RIGHT__4.BMP': cannot open"), std::string::npos)
      << merged.warnings()[4];
  // Seen from +z (the picture's top is -x) both cubes show their top: the left one magenta
  // from its bitmap, the right one in the flat colour.
  const render::Image image = Draw(merged, View::kPlusZ).image;
  EXPECT_EQ(Channels(image, 32, 12), kRedBits | kBlueBits);
  EXPECT_EQ(Channels(image, 32, 52), kRedBits | kGreenBits | kBlueBits);
  EXPECT_EQ(Channels(image, 32, 32), -1);  // the gap between them
}

TEST(Render, PolygonsThatCannotBeDrawnAreLeftOutAndCounted) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Face good = Square(2, 0, 1, -1);
  Face nan_point = good;
  nan_point.points[1][0] = nan;
  Face inf_pair = good;
  inf_pair.pairs[2][1] = inf;
  Face line = good;  // all corners on one line
  for (auto& p : line.points) p = {p[0], p[0], 0};
  Face point = good;
  for (auto& p : point.points) p = {5, 5, 5};
  struct Case {
    std::vector<Face> faces;
    std::vector<std::string> warnings;
    bool drawn;
  };
  const Case cases[] = {
      {{good, nan_point, inf_pair, line, point},
       {"4 of 5 polygon(s) left out: a corner with a non-finite value, or no area"},
       true},
      {{nan_point},
       {"1 of 1 polygon(s) left out: a corner with a non-finite value, or no area",
        "the model has no polygon to draw: the picture is empty"},
       false},
      {{}, {"the model has no polygon to draw: the picture is empty"}, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const render::Model model = ModelOf(dir, "bad.opt", FacesModel(c.faces, {}));
    const render::Rendering r = Draw(model, View::kPlusZ, 16);
    // Polygons before any texture name eight 0 bytes, which cannot be a file name.
    std::vector<std::string> warnings = r.warnings;
    if (!c.faces.empty()) {
      ASSERT_FALSE(warnings.empty());
      EXPECT_NE(warnings.front().find("the name cannot be a file name"), std::string::npos);
      warnings.erase(warnings.begin());
    }
    EXPECT_EQ(warnings, c.warnings);
    ASSERT_EQ(r.image.rgba.size(), 16u * 16u * 4u);
    EXPECT_EQ(Channels(r.image, 8, 8), c.drawn ? kRedBits | kGreenBits | kBlueBits : -1);
  }
}

TEST(Render, ACancelledDrawingStops) {
  TempDir dir;
  const render::Model model = ModelOf(dir, "cube.opt", ColourCube());
  RenderOptions options;
  int asked = 0;
  options.cancelled = [&asked] { return ++asked > 1; };  // yes from the second question on
  EXPECT_THROW(render::Render(model, options), render::Cancelled);
  EXPECT_EQ(asked, 2);  // once in each pass over the six polygons
  options.cancelled = [] { return false; };
  EXPECT_EQ(render::Render(model, options).polygons_drawn, 6u);
}

TEST(Render, APictureSizeOutsideTheLimitsIsAnErrorTheUserCanActOn) {
  TempDir dir;
  const render::Model model = ModelOf(dir, "cube.opt", ColourCube());
  const std::pair<int, int> sizes[] = {
      {0, 16}, {16, 0}, {render::kMaxImageSide + 1, 16}, {16, render::kMaxImageSide + 1}, {-5, -5}};
  for (const auto& [width, height] : sizes) {
    RenderOptions options;
    options.width = width;
    options.height = height;
    try {
      render::Render(model, options);
      ADD_FAILURE() << width << "x" << height << " was drawn";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "the picture's width and height must be 1 to 8192 pixels");
    }
  }
}

// Six one-pixel bitmaps of the colours of ColourCube's faces.
std::vector<TextureDesc> SixColours() {
  std::vector<TextureDesc> bitmaps;
  const std::uint16_t colours[] = {kRed, kGreen, kBlue, kYellow, kMagenta, kCyan};
  for (int n = 0; n < 6; ++n) {
    bitmaps.push_back(ColourBitmap("COLOUR_" + std::to_string(n), {colours[n]}, 1, 1));
  }
  return bitmaps;
}

// `count` triangles and quadrilaterals with corners anywhere in a cube of side 2: as in the
// benchmark's large model, every pixel is covered many times over by faces at all slopes.
BuiltOpt CubeCloud(int count, std::uint32_t seed) {
  std::mt19937 numbers(seed);
  const auto coordinate = [&numbers] {
    return static_cast<float>(numbers() % 20001) / 10000.0f - 1.0f;
  };
  std::vector<Face> faces;
  for (int i = 0; i < count; ++i) {
    Face f;
    for (int c = 0; c < (i % 3 == 0 ? 4 : 3); ++c) {
      f.points.push_back({coordinate(), coordinate(), coordinate()});
      f.pairs.push_back({0, 0});
    }
    f.bitmap = i % 6;
    faces.push_back(f);
  }
  return FacesModel(faces, SixColours());
}

// Large squares stacked from far to near, each a little smaller and turned, with a few small
// near triangles among them: the floors of whole blocks are made by faces drawn before the
// small ones, which show through only at places.
BuiltOpt StackedSquares() {
  std::vector<Face> faces;
  for (int layer = 0; layer < 40; ++layer) {
    const float z = -1 + layer * 0.05f;
    const float half = 1 - layer * 0.02f;
    const float turn = layer * 0.4f;
    Face f;
    for (int c = 0; c < 4; ++c) {
      const float angle = turn + c * std::numbers::pi_v<float> / 2;
      f.points.push_back({half * std::cos(angle), half * std::sin(angle), z + 0.03f * (c % 2)});
      f.pairs.push_back({0, 0});
    }
    f.bitmap = layer % 6;
    faces.push_back(f);
    if (layer % 5 == 4) {
      Face small;
      small.points = {{0.1f * layer / 40, -0.7f, z + 0.2f},
                      {0.2f, -0.6f + 0.01f * layer, z + 0.1f},
                      {0.05f, -0.5f, z + 0.25f}};
      small.pairs = {{0, 0}, {0, 0}, {0, 0}};
      small.bitmap = (layer + 3) % 6;
      faces.push_back(small);
    }
  }
  return FacesModel(faces, SixColours());
}

TEST(Render, TurningHiddenTrianglesAwayLeavesThePixelsOfDrawingEveryOneWhole) {
  TempDir dir;
  const render::Model cloud = ModelOf(dir, "cloud.opt", CubeCloud(400, 7));
  const render::Model dense = ModelOf(dir, "dense.opt", CubeCloud(3000, 11));
  const render::Model stack = ModelOf(dir, "stack.opt", StackedSquares());
  struct Case {
    const render::Model* model;
    View view;
    double yaw, pitch;
    int width, height;  // some not multiples of a tile, one past a 256-pixel block
    bool flat;
    double zoom = 1;  // above 1, corners fall far outside the picture
  };
  const Case cases[] = {
      {&cloud, View::kIso, 0, 0, 512, 512, false},
      {&cloud, View::kIso, 20, 10, 200, 150, false, 6},
      {&dense, View::kPlusY, 0, 0, 160, 160, false, 3.5},
      {&dense, View::kIso, 0, 0, 160, 160, false, 0.6},
      {&cloud, View::kPlusX, 10, 5, 100, 37, false},
      {&cloud, View::kMinusZ, 0, 0, 300, 257, true},
      {&dense, View::kIso, 0, 0, 320, 320, false},
      {&dense, View::kPlusY, 33, -20, 129, 200, false},
      {&dense, View::kMinusX, 200, 40, 600, 450, false},
      {&dense, View::kIso, 15, 10, 1300, 280, false},  // top-level blocks five along a row
      {&stack, View::kPlusZ, 0, 0, 256, 256, false},
      {&stack, View::kPlusZ, 7, 3, 333, 301, false},
      {&stack, View::kIso, 0, 0, 97, 160, true},
  };
  for (const Case& c : cases) {
    RenderOptions options;
    options.view = c.view;
    options.yaw = c.yaw;
    options.pitch = c.pitch;
    options.width = c.width;
    options.height = c.height;
    options.flat = c.flat;
    options.zoom = c.zoom;
    const render::Image whole = render::RenderExhaustively(*c.model, options).image;
    const std::string what = std::to_string(static_cast<int>(c.view)) + " " +
                             std::to_string(c.width) + "x" + std::to_string(c.height) + " zoom " +
                             std::to_string(c.zoom);
    // With the processor's vector instructions (where it has them) and without.
    for (const render::Image& fast : {render::Render(*c.model, options).image,
                                      render::RenderPortably(*c.model, options).image}) {
      ASSERT_EQ(fast.rgba.size(), whole.rgba.size()) << what;
      std::size_t differing = 0, covered = 0;
      for (std::size_t i = 0; i < fast.rgba.size(); i += 4) {
        differing += !std::equal(&fast.rgba[i], &fast.rgba[i] + 4, &whole.rgba[i]);
        covered += whole.rgba[i + 3] != 0;
      }
      EXPECT_EQ(differing, 0u) << what;
      EXPECT_GT(covered, fast.rgba.size() / 4 / 20) << what;  // the model is drawn
    }
  }
}

TEST(Render, AModelLikeTheLargeWorkloadDrawsTheSameWithAndWithoutVectorInstructions) {
  // Tens of thousands of large random triangles: most tiles are whole and fitted over and over,
  // most triangles are turned away at every level.
  TempDir dir;
  WriteBytes(dir / "medium.opt", fixture::WorkloadModel(fixture::MediumModelShape(5)).bytes);
  const render::Model model = render::LoadModelFile(dir / "medium.opt");
  struct Case {
    View view;
    double yaw;
    int width, height;
  };
  for (const Case& c : {Case{View::kIso, 0, 320, 320}, Case{View::kPlusZ, 25, 1100, 400},
                        Case{View::kMinusY, -60, 203, 257}}) {
    RenderOptions options;
    options.view = c.view;
    options.yaw = c.yaw;
    options.width = c.width;
    options.height = c.height;
    const render::Image fast = render::Render(model, options).image;
    EXPECT_EQ(fast.rgba, render::RenderPortably(model, options).image.rgba) << c.width;
    std::size_t covered = 0;
    for (std::size_t i = 3; i < fast.rgba.size(); i += 4) covered += fast.rgba[i] != 0;
    EXPECT_GT(covered, fast.rgba.size() / 4 / 20) << c.width;  // the model is drawn
  }
}

TEST(Render, AFarFaceDrawnAfterANearerSlopeShowsWhereTheSlopeFallsAwayBehindIt) {
  // Seen from +z (the picture's right is +y, its top -x): a red square sloping from z = 1 at
  // y = -1 down to z = -1 at y = 1, drawn first as its nearest corner is nearer; then a blue
  // square at z = 0.5 over |x|, |y| <= `half` about (0, `centre`). The blue one shows wherever
  // the slope lies under it, across the block edges at the picture's middle.
  constexpr int kSide = 512;
  const double scale = render::kSphereFit * kSide / (2 * std::sqrt(3.0));  // pixels per unit
  struct Case {
    float centre, half;
  };
  const Case cases[] = {{0, 0.3f}, {0.1f, 0.05f}, {-0.2f, 0.25f}, {0.3f, 0.15f}};
  for (const Case& c : cases) {
    Face slope = Square(2, 0, 1, 0);
    for (auto& p : slope.points) p[2] = -p[1];
    Face near = Square(2, 0.5f, c.half, 1);
    for (auto& p : near.points) p[1] += c.centre;
    TempDir dir;
    const render::Model model =
        ModelOf(dir, "slope.opt",
                FacesModel({slope, near}, {ColourBitmap("RED_____", {kRed}, 1, 1),
                                           ColourBitmap("BLUE____", {kBlue}, 1, 1)}));
    const render::Image image = Draw(model, View::kPlusZ, kSide).image;
    // Pixel centres a pixel or more inside the blue square, or outside it.
    const auto pixel = [&](double units) { return kSide / 2.0 + scale * units - 0.5; };
    const int inner_first = static_cast<int>(std::ceil(pixel(-c.half) + 1));
    const int inner_last = static_cast<int>(std::floor(pixel(c.half) - 1));
    const int across_first = static_cast<int>(std::ceil(pixel(c.centre - c.half) + 1));
    const int across_last = static_cast<int>(std::floor(pixel(c.centre + c.half) - 1));
    ASSERT_LT(inner_first, kSide / 2);
    ASSERT_GT(inner_last, kSide / 2);
    for (int y = inner_first; y <= inner_last; ++y) {
      for (int x = across_first; x <= across_last; ++x) {
        ASSERT_EQ(Channels(image, x, y), kBlueBits) << c.centre << ": " << x << "," << y;
      }
      EXPECT_EQ(Channels(image, across_first - 3, y), kRedBits) << c.centre << ": " << y;
      EXPECT_EQ(Channels(image, across_last + 3, y), kRedBits) << c.centre << ": " << y;
    }
  }
}

TEST(Render, AFaceInFrontOfAFloorByLessThanTheMarginIsDrawnAsWithoutFloors) {
  // Seen from +x (the picture's right is +y, its top +z): a red square sloping from x = -0.3
  // at y = -1 to x = 0.3 at y = 1, drawn first as its nearest corner is nearer; then a blue
  // square over part of it, `gap` in front, drawn over the tiles the red one made floors of.
  // The gap is far less than the margin the floors keep, but far more than single precision's
  // step at those depths, so the blue square shows wherever it lies.
  for (const float gap : {2e-6f, 1e-5f}) {
    Face slope = Square(0, 0, 1, 0);
    for (auto& p : slope.points) p[0] = 0.3f * p[1];
    Face near = Square(0, 0, 0.4f, 1);
    for (auto& p : near.points) {
      p[1] -= 0.45f;
      p[0] = 0.3f * p[1] + gap;
    }
    TempDir dir;
    const render::Model model =
        ModelOf(dir, "gap.opt",
                FacesModel({slope, near}, {ColourBitmap("RED_____", {kRed}, 1, 1),
                                           ColourBitmap("BLUE____", {kBlue}, 1, 1)}));
    RenderOptions options;
    options.view = View::kPlusX;
    options.width = options.height = 200;
    const render::Image whole = render::RenderExhaustively(model, options).image;
    std::size_t blue = 0;
    for (int y = 0; y < whole.height; ++y) {
      for (int x = 0; x < whole.width; ++x) blue += Channels(whole, x, y) == kBlueBits;
    }
    EXPECT_GT(blue, 2000u) << gap;
    EXPECT_EQ(render::Render(model, options).image.rgba, whole.rgba) << gap;
    EXPECT_EQ(render::RenderPortably(model, options).image.rgba, whole.rgba) << gap;
  }
}

TEST(Render, BitmapsAreNeverReadPastTheirPixels) {
  // Headers as the converter writes them, then bent.
  struct Case {
    const char* what;
    std::int32_t width, height;
    std::uint16_t bits;
    std::size_t pixel_bytes;
    const char* error;  // empty: readable
  };
  const Case cases[] = {
      {"as written", 2, 2, 8, 4, ""},
      {"more pixels than needed", 2, 2, 8, 9, ""},
      {"too few pixels", 3, 2, 8, 5, "3 by 2 pixels but only 5 pixel bytes"},
      {"huge size", 0x7FFFFFFF, 0x7FFFFFFF, 8, 4, "pixels but only 4 pixel bytes"},
      {"no width", 0, 2, 8, 4, "a size of 0 by 2 pixels"},
      {"height below 0", 2, -2, 8, 4, "a size of 2 by -2 pixels"},
      {"24 bits", 2, 2, 24, 12, "not an uncompressed 8-bit bitmap"},
  };
  for (const Case& c : cases) {
    std::vector<std::byte> file(1078 + c.pixel_bytes, std::byte{1});
    file[0] = std::byte{'B'};
    file[1] = std::byte{'M'};
    StoreU32(file.data() + 10, 1078);
    StoreU32(file.data() + 14, 40);
    StoreI32(file.data() + 18, c.width);
    StoreI32(file.data() + 22, c.height);
    file[28] = static_cast<std::byte>(c.bits);
    file[29] = std::byte{0};
    StoreU32(file.data() + 30, 0);
    StoreU32(file.data() + 46, 0);
    try {
      const render::Bitmap bitmap = render::ReadBitmapFile(file);
      EXPECT_STREQ(c.error, "") << c.what;
      EXPECT_EQ(bitmap.pixels.size(), static_cast<std::size_t>(c.width * c.height));
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos)
          << c.what << ": " << e.what();
      EXPECT_STRNE(c.error, "") << c.what;
    }
  }
  // Cut anywhere in its headers, a file is refused, never read past.
  std::vector<std::byte> cut = {std::byte{'B'}, std::byte{'M'}};
  cut.resize(60);
  StoreU32(cut.data() + 10, 5000);
  EXPECT_THROW(render::ReadBitmapFile(cut), Error);
  cut.resize(12);
  EXPECT_THROW(render::ReadBitmapFile(cut), Error);
}

TEST(Render, APngFileGivesBackThePixelsItWasMadeOf) {
  // Transparent and opaque pixels of every channel, on rows of an odd width.
  render::Image image{3, 2, {}};
  for (int i = 0; i < 3 * 2 * 4; ++i) image.rgba.push_back(static_cast<std::uint8_t>(i * 37 % 256));
  for (int p = 0; p < 6; ++p) image.rgba[p * 4 + 3] = p % 2 == 0 ? 255 : 0;
  for (int p = 1; p < 6; p += 2) std::fill_n(image.rgba.begin() + p * 4, 3, 0);
  const render::Image decoded = render::DecodePng(render::EncodePng(image));
  EXPECT_EQ(decoded.width, 3);
  EXPECT_EQ(decoded.height, 2);
  EXPECT_EQ(decoded.rgba, image.rgba);
  EXPECT_THROW(render::DecodePng(TextBytes("not a picture")), Error);

  // A large picture of one colour and a transparent border comes back whole and stays small:
  // its repeated pixels must reach the compressor as runs.
  render::Image plain{1024, 768, {}};
  for (int y = 0; y < plain.height; ++y) {
    for (int x = 0; x < plain.width; ++x) {
      const bool border = x < 8 || y < 8 || x >= plain.width - 8 || y >= plain.height - 8;
      const std::array<std::uint8_t, 4> pixel = border
                                                    ? std::array<std::uint8_t, 4>{0, 0, 0, 0}
                                                    : std::array<std::uint8_t, 4>{200, 90, 30, 255};
      plain.rgba.insert(plain.rgba.end(), pixel.begin(), pixel.end());
    }
  }
  const std::vector<std::byte> file = render::EncodePng(plain);
  EXPECT_LT(file.size(), std::size_t{64} << 10);
  EXPECT_EQ(render::DecodePng(file).rgba, plain.rgba);
}

#ifndef _WIN32
// The tool is started as a child process, which this test does through POSIX calls.
const std::string kDurvane = DURVANE_BIN_DIR "/durvane";

TEST(RenderCommand, WritesAPngOrFailsAsInfoDoes) {
  TempDir dir;
  WriteBytes(dir / "cube.opt", ColourCube().bytes);
  std::vector<std::byte> broken = SampleModel().bytes;
  broken.resize(broken.size() / 2);
  WriteBytes(dir / "broken.opt", broken);
  WriteBytes(dir / "broken.prj", TextBytes("not a PRJ file at all"));

  // A picture of the asked size, with the pixels the library draws.
  const auto png = dir / "cube.png";
  ProcessResult r =
      RunProcess(kDurvane, {"render", "--view", "-y", "--yaw", "10", "--size", "40x30", "-o",
                            png.string(), (dir / "cube.opt").string()});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const render::Image decoded = render::DecodePng(ReadBytes(png));
  EXPECT_EQ(decoded.width, 40);
  EXPECT_EQ(decoded.height, 30);
  RenderOptions options;
  options.view = View::kMinusY;
  options.yaw = 10;
  options.width = 40;
  options.height = 30;
  EXPECT_EQ(decoded.rgba,
            render::Render(render::LoadModelFile(dir / "cube.opt"), options).image.rgba);

  struct Case {
    std::vector<std::string> args;
    int exit_status;
    std::string err;  // part of stderr
  };
  const Case cases[] = {
      {{(dir / "broken.opt").string()}, 1, ""},
      {{(dir / "broken.prj").string()}, 1, ""},
      {{"--size", "0x10", (dir / "cube.opt").string()}, 2, "--size needs"},
      {{"--view", "up", (dir / "cube.opt").string()}, 2, "unknown view 'up'"},
      {{"--yaw", "nan", (dir / "cube.opt").string()}, 2, "--yaw needs a number"},
      {{(dir / "cube.opt").string(), (dir / "cube.opt").string()}, 2, "render takes one file"},
  };
  for (const Case& c : cases) {
    const auto out = dir / "out.png";
    std::vector<std::string> args = {"render", "-o", out.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = RunProcess(kDurvane, args);
    EXPECT_EQ(r.exit_status, c.exit_status) << c.args.back() << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.args.back();
    if (c.exit_status == 1) {
      // The error line is the one `durvane info` gives for the file.
      const ProcessResult info = RunProcess(kDurvane, {"info", c.args.back()});
      const std::string line = r.err.substr(r.err.find(": '") + 1);
      const std::string error = line.substr(line.find("': ") + 3);
      EXPECT_NE(info.out.find(error), std::string::npos) << error << "\n" << info.out;
    }
  }

  // Without -o the picture is <name>.png in the current folder.
  r = RunProcess("/bin/sh", {"-c", "cd '" + dir.path().string() + "' && '" + kDurvane +
                                       "' render --size 8x8 cube.opt"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(render::DecodePng(ReadBytes(dir / "cube.png")).width, 8);
}
#endif

}  // namespace
}  // namespace durvane
