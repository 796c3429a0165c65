#include "tests/support/craft_model.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace durvane::fixture {
namespace {

// ---- Textures ----

// The paints of the one palette all the craft's textures share. A pixel is paint * 16 + shade:
// shade 10 is the paint itself, lower shades darker, higher ones lighter.
enum class Paint : std::uint8_t {
  kHull,
  kBelly,
  kRed,
  kWhite,
  kNavy,
  kYellow,
  kBlack,
  kGlass,
  kGunmetal,
  kSteel,
  kOrange,
  kHot
};
constexpr std::array<std::array<int, 3>, 12> kPaintColours = {{{198, 202, 208},
                                                               {112, 128, 152},
                                                               {196, 36, 32},
                                                               {240, 240, 236},
                                                               {28, 44, 104},
                                                               {232, 186, 28},
                                                               {22, 22, 26},
                                                               {44, 96, 132},
                                                               {72, 76, 84},
                                                               {168, 172, 178},
                                                               {250, 110, 20},
                                                               {255, 226, 140}}};
constexpr int kBaseShade = 10;

std::array<std::uint16_t, 256> Palette() {
  std::array<std::uint16_t, 256> palette{};
  for (std::size_t paint = 0; paint < kPaintColours.size(); ++paint) {
    for (int shade = 0; shade < 16; ++shade) {
      std::array<int, 3> c{};
      for (std::size_t i = 0; i < 3; ++i) {
        c[i] = std::min(255, kPaintColours[paint][i] * (shade + 2) / (kBaseShade + 2));
      }
      palette[paint * 16 + static_cast<std::size_t>(shade)] =
          static_cast<std::uint16_t>(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3));
    }
  }
  return palette;
}

// A well-mixed number for a pixel or a panel: the grain and the panels' tones, the same on
// every system.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = (x * 0x27d4eb2dU) ^ ((y + 0x9e3779b9U) * 0x165667b1U) ^ (seed * 0x85ebca6bU);
  h ^= h >> 15;
  h *= 0x2c1b3c6dU;
  h ^= h >> 12;
  h *= 0x297a2d39U;
  h ^= h >> 15;
  return h;
}

// 5 x 7 glyphs of the characters the markings use; any other character is blank.
struct Glyph {
  char c;
  std::array<std::string_view, 7> rows;
};
constexpr std::array<Glyph, 9> kGlyphs = {{
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
}};

const Glyph* GlyphOf(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

// A texture being painted: x runs along u, y along v (row 0 is v = 0). Coordinates outside
// wrap around, as the texture does on the model.
class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t seed)
      : width_(width),
        height_(height),
        seed_(seed),
        pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  // Paints [x0, x1) x [y0, y1) in `paint` at `shade`, with a little grain.
  void Fill(int x0, int y0, int x1, int y1, Paint paint, int shade = kBaseShade) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Set(x, y, paint, shade + Grain(x, y));
    }
  }

  // Makes [x0, x1) x [y0, y1) lighter or darker by `delta` shades, keeping its paints.
  void Shade(int x0, int y0, int x1, int y1, int delta) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::uint8_t p = pixels_[Index(x, y)];
        Set(x, y, static_cast<Paint>(p / 16), p % 16 + delta);
      }
    }
  }

  // Panels over [x0, x1) x [y0, y1) split at `columns` and `rows`: each a shade apart from
  // its neighbours, with dark seams and a light rivet every 4 pixels beside each seam.
  void Panels(int x0, int y0, int x1, int y1, const std::vector<int>& columns,
              const std::vector<int>& rows) {
    std::vector<int> xs = {x0}, ys = {y0};
    xs.insert(xs.end(), columns.begin(), columns.end());
    ys.insert(ys.end(), rows.begin(), rows.end());
    xs.push_back(x1);
    ys.push_back(y1);
    for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
      for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        const int tone =
            static_cast<int>(
                Hash(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), seed_ + 7) % 3) -
            1;
        Shade(xs[i], ys[j], xs[i + 1], ys[j + 1], tone);
      }
    }
    for (int x : columns) {
      Shade(x, y0, x + 1, y1, -5);
      for (int y = y0 + 2; y < y1; y += 4) Shade(x + 2, y, x + 3, y + 1, 3);
    }
    for (int y : rows) {
      Shade(x0, y, x1, y + 1, -5);
      for (int x = x0 + 2; x < x1; x += 4) Shade(x, y + 2, x + 1, y + 3, 3);
    }
  }

  // A filled disc of radius r around (cx, cy).
  void Disc(int cx, int cy, int r, Paint paint) {
    for (int dy = -r; dy <= r; ++dy) {
      for (int dx = -r; dx <= r; ++dx) {
        if (dx * dx + dy * dy <= r * r) Set(cx + dx, cy + dy, paint, kBaseShade + Grain(dx, dy));
      }
    }
  }

  // Diagonal yellow and black warning stripes over [x0, x1) x [y0, y1).
  void Hazard(int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        Set(x, y, (x + y) / 4 % 2 == 0 ? Paint::kYellow : Paint::kBlack, kBaseShade + Grain(x, y));
      }
    }
  }

  // Writes `text` with its top left corner at (x, y): each glyph pixel is `scale` pixels,
  // the text runs along (ax, ay) and its lines go down along (bx, by), so that it can be
  // turned to read the right way on the model.
  void Text(int x, int y, int ax, int ay, int bx, int by, int scale, std::string_view text,
            Paint paint) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const Glyph* glyph = GlyphOf(text[i]);
      if (glyph == nullptr) continue;
      for (int gy = 0; gy < 7 * scale; ++gy) {
        for (int gx = 0; gx < 5 * scale; ++gx) {
          if (glyph->rows[static_cast<std::size_t>(gy / scale)]
                         [static_cast<std::size_t>(gx / scale)] != '#') {
            continue;
          }
          const int along = static_cast<int>(i) * 6 * scale + gx;
          const int px = x + along * ax + gy * bx;
          const int py = y + along * ay + gy * by;
          Set(px, py, paint, kBaseShade + Grain(px, py));
        }
      }
    }
  }

  TextureDesc Finish(const std::string& name) const {
    TextureDesc t;
    t.name = name;
    t.width = width_;
    t.height = height_;
    t.pixels = pixels_;
    t.palette = Palette();
    return t;
  }

 private:
  std::size_t Index(int x, int y) const {
    const int wx = (x % width_ + width_) % width_;
    const int wy = (y % height_ + height_) % height_;
    return static_cast<std::size_t>(wy) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(wx);
  }
  void Set(int x, int y, Paint paint, int shade) {
    pixels_[Index(x, y)] =
        static_cast<std::uint8_t>(static_cast<int>(paint) * 16 + std::clamp(shade, 0, 15));
  }
  // One shade up or down on about one pixel in four: the grain of worn paint.
  int Grain(int x, int y) const {
    const std::uint32_t h =
        Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed_) % 8;
    return h == 0 ? -1 : (h == 1 ? 1 : 0);
  }

  int width_, height_;
  std::uint32_t seed_;
  std::vector<std::uint8_t> pixels_;
};

// The hull: x goes once around (0 the belly, 32 the right side, 64 the spine, 96 the left
// side), y from the nose (0) to the tail.
TextureDesc HullTexture() {
  Canvas c(128, 256, 1);
  c.Fill(0, 0, 128, 256, Paint::kHull);
  c.Fill(-20, 0, 20, 256, Paint::kBelly);
  c.Fill(0, 0, 128, 22, Paint::kGunmetal);  // the nose cone
  c.Fill(50, 22, 78, 50, Paint::kNavy);     // the glare shield before the canopy
  for (int x : {38, 86}) {
    c.Fill(x, 56, x + 4, 244, Paint::kRed);
    c.Fill(x + 4, 56, x + 5, 244, Paint::kWhite);
  }
  c.Panels(0, 22, 128, 256, {11, 21, 43, 64, 85, 107, 117}, {52, 80, 108, 134, 162, 190, 214, 238});
  c.Fill(0, 250, 128, 256, Paint::kGunmetal);  // the tail ring
  // The name along both sides, reading from nose to tail on the left and tail to nose on the
  // right, upright on each.
  c.Text(72, 64, 0, 1, 1, 0, 2, "DURVANE", Paint::kNavy);
  c.Text(56, 148, 0, -1, -1, 0, 2, "DURVANE", Paint::kNavy);
  return c.Finish("CRFTHULL");
}

// A wing or tailplane: x across the chord (0 the leading edge), y along the span from the root.
TextureDesc WingTexture() {
  Canvas c(64, 128, 2);
  c.Fill(0, 0, 64, 128, Paint::kHull);
  c.Fill(0, 0, 5, 128, Paint::kSteel);
  c.Panels(0, 0, 64, 128, {5, 22, 46}, {24, 48, 72, 96, 108});
  c.Shade(46, 16, 64, 108, -1);  // the flaps
  c.Hazard(8, 2, 40, 12);        // the walkway at the root
  c.Fill(0, 108, 64, 112, Paint::kWhite);
  c.Fill(0, 112, 64, 128, Paint::kRed);
  c.Disc(28, 80, 14, Paint::kNavy);
  c.Disc(28, 80, 9, Paint::kWhite);
  c.Disc(28, 80, 4, Paint::kRed);
  c.Text(40, 26, 0, 1, -1, 0, 2, "07", Paint::kNavy);
  return c.Finish("CRFTWING");
}

// The fin: x across the chord (0 the leading edge), y from the top (0) down to the root.
TextureDesc FinTexture() {
  Canvas c(64, 64, 3);
  c.Fill(0, 0, 64, 64, Paint::kHull);
  c.Fill(0, 0, 4, 64, Paint::kSteel);
  c.Panels(0, 0, 64, 64, {4, 44}, {16, 44, 56});
  c.Fill(0, 0, 64, 12, Paint::kRed);
  c.Fill(0, 12, 64, 14, Paint::kWhite);
  c.Text(16, 24, 1, 0, 0, 1, 2, "07", Paint::kNavy);
  return c.Finish("CRFTTAIL");
}

// The canopy: x around the bubble from its left foot to its right, y from front to back.
TextureDesc GlassTexture() {
  Canvas c(64, 64, 4);
  for (int x = 0; x < 64; ++x) {
    c.Fill(x, 0, x + 1, 64, Paint::kGlass, 6 + (32 - std::abs(x - 32)) / 8);
  }
  for (int y = 0; y < 64; ++y) {
    c.Shade(34 - y / 2, y, 38 - y / 2, y + 1, 5);  // reflections
    c.Shade(44 - y / 2, y, 45 - y / 2, y + 1, 3);
  }
  for (int y : {20, 42}) c.Fill(0, y, 64, y + 3, Paint::kGunmetal);
  c.Fill(0, 0, 64, 3, Paint::kGunmetal);
  c.Fill(0, 0, 3, 64, Paint::kGunmetal);
  c.Fill(61, 0, 64, 64, Paint::kGunmetal);
  return c.Finish("CRFTGLAS");
}

// An engine: x around, y from the intake (0) to the nozzle; the bottom rows are the glow the
// exhaust's cap shows.
TextureDesc EngineTexture() {
  Canvas c(64, 64, 5);
  c.Fill(0, 0, 64, 4, Paint::kBlack);
  c.Fill(0, 4, 64, 8, Paint::kSteel, 12);
  c.Fill(0, 8, 64, 50, Paint::kGunmetal);
  c.Panels(0, 8, 64, 50, {16, 32, 48}, {14, 20, 26, 32, 38, 44});
  c.Fill(0, 50, 64, 52, Paint::kSteel);
  for (int y = 52; y < 58; ++y) c.Fill(0, y, 64, y + 1, Paint::kOrange, 8 + (y - 52) / 2);
  for (int y = 58; y < 64; ++y) c.Fill(0, y, 64, y + 1, Paint::kHot, 9 + (y - 58) / 2);
  return c.Finish("CRFTENGN");
}

// ---- Shapes ----

// The vertices, texture pairs and polygons of one part of the craft.
struct Part {
  std::vector<Vertex> vertices;
  std::vector<Pair> pairs;
  std::vector<PolygonRow> rows;

  std::int32_t AddVertex(Vertex v) {
    vertices.push_back(v);
    return static_cast<std::int32_t>(vertices.size() - 1);
  }
  std::int32_t AddPair(float u, float v) {
    pairs.push_back({u, v});
    return static_cast<std::int32_t>(pairs.size() - 1);
  }
  // A quad, or a triangle when the last entries are -1.
  void AddPolygon(std::array<std::int32_t, 4> v, std::array<std::int32_t, 4> p) {
    rows.push_back({v, p, {}, {}});
  }
};

// A surface through `rings` of points, one after the other: quads join each ring's point k and
// k + 1 to the next ring's (and the last point to the first when `closed`). Point k of ring i
// gets the pair (us[k], vs[i]); a closed ring's seam takes us[K] on its far side.
void Sheet(Part& part, const std::vector<std::vector<Vertex>>& rings, bool closed,
           const std::vector<float>& us, const std::vector<float>& vs) {
  const std::size_t points = rings.front().size();
  const std::size_t columns = closed ? points + 1 : points;
  std::vector<std::int32_t> first_vertex, first_pair;
  for (std::size_t i = 0; i < rings.size(); ++i) {
    first_vertex.push_back(static_cast<std::int32_t>(part.vertices.size()));
    for (const Vertex& v : rings[i]) part.AddVertex(v);
    first_pair.push_back(static_cast<std::int32_t>(part.pairs.size()));
    for (std::size_t k = 0; k < columns; ++k) part.AddPair(us[k], vs[i]);
  }
  for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
    for (std::size_t k = 0; k + 1 < columns; ++k) {
      const auto a = static_cast<std::int32_t>(k);
      const auto b = static_cast<std::int32_t>((k + 1) % points);
      const auto pa = static_cast<std::int32_t>(k);
      const std::int32_t pb = pa + 1;
      part.AddPolygon(
          {first_vertex[i] + a, first_vertex[i] + b, first_vertex[i + 1] + b,
           first_vertex[i + 1] + a},
          {first_pair[i] + pa, first_pair[i] + pb, first_pair[i + 1] + pb, first_pair[i + 1] + pa});
    }
  }
}

// Triangles from `apex` to each side of the closed `ring`: the apex takes the pair (apex_u,
// apex_v), ring point k the pair (us[k], ring_v).
void Fan(Part& part, const std::vector<Vertex>& ring, Vertex apex, float apex_u, float apex_v,
         const std::vector<float>& us, float ring_v) {
  const std::int32_t top = part.AddVertex(apex);
  const std::int32_t top_pair = part.AddPair(apex_u, apex_v);
  const std::size_t points = ring.size();
  const auto first = static_cast<std::int32_t>(part.vertices.size());
  for (const Vertex& v : ring) part.AddVertex(v);
  const auto first_pair = static_cast<std::int32_t>(part.pairs.size());
  for (std::size_t k = 0; k <= points; ++k) part.AddPair(us[k], ring_v);
  for (std::size_t k = 0; k < points; ++k) {
    const auto a = static_cast<std::int32_t>(k);
    const auto b = static_cast<std::int32_t>((k + 1) % points);
    part.AddPolygon({top, first + a, first + b, -1},
                    {top_pair, first_pair + a, first_pair + a + 1, -1});
  }
}

// Sine and cosine of the angles 0, 30, ..., 330 and 0, 45, ..., 315 degrees.
constexpr float kHalf = 0.5f, kRoot3Half = 0.8660254f, kRoot2Half = 0.70710678f;
constexpr std::array<std::array<float, 2>, 12> kRound12 = {{{0, 1},
                                                            {kHalf, kRoot3Half},
                                                            {kRoot3Half, kHalf},
                                                            {1, 0},
                                                            {kRoot3Half, -kHalf},
                                                            {kHalf, -kRoot3Half},
                                                            {0, -1},
                                                            {-kHalf, -kRoot3Half},
                                                            {-kRoot3Half, -kHalf},
                                                            {-1, 0},
                                                            {-kRoot3Half, kHalf},
                                                            {-kHalf, kRoot3Half}}};
constexpr std::array<std::array<float, 2>, 8> kRound8 = {{{0, 1},
                                                          {kRoot2Half, kRoot2Half},
                                                          {1, 0},
                                                          {kRoot2Half, -kRoot2Half},
                                                          {0, -1},
                                                          {-kRoot2Half, -kRoot2Half},
                                                          {-1, 0},
                                                          {-kRoot2Half, kRoot2Half}}};

// `n` + 1 values from 0 to 1 in equal steps.
std::vector<float> Steps(int n) {
  std::vector<float> out;
  for (int k = 0; k <= n; ++k) out.push_back(static_cast<float>(k) / static_cast<float>(n));
  return out;
}

// The hull's cross-section at x: half its width and height and the height of its centre.
// The nose points along -x, the craft's top along +z.
struct Station {
  float x, half_width, half_height, centre;
};
constexpr float kNoseX = -4.25f, kTailX = 3.6f;
constexpr std::array<Station, 9> kHullStations = {{{-3.9f, 0.16f, 0.12f, -0.04f},
                                                   {-3.4f, 0.38f, 0.28f, -0.01f},
                                                   {-2.7f, 0.58f, 0.42f, 0.03f},
                                                   {-1.8f, 0.72f, 0.54f, 0.06f},
                                                   {-0.8f, 0.78f, 0.58f, 0.07f},
                                                   {0.4f, 0.78f, 0.56f, 0.06f},
                                                   {1.5f, 0.72f, 0.5f, 0.05f},
                                                   {2.6f, 0.6f, 0.42f, 0.05f},
                                                   {kTailX, 0.46f, 0.32f, 0.06f}}};

Station HullAt(float x) {
  for (std::size_t i = 0; i + 1 < kHullStations.size(); ++i) {
    const Station& a = kHullStations[i];
    const Station& b = kHullStations[i + 1];
    if (x <= b.x) {
      const float t = std::clamp((x - a.x) / (b.x - a.x), 0.0f, 1.0f);
      return {x, a.half_width + t * (b.half_width - a.half_width),
              a.half_height + t * (b.half_height - a.half_height),
              a.centre + t * (b.centre - a.centre)};
    }
  }
  return kHullStations.back();
}

// The hull's ring at a station: 12 points from the belly round by the right side; the belly
// is flatter than the back.
std::vector<Vertex> HullRing(const Station& s) {
  std::vector<Vertex> ring;
  for (const auto& [sine, cosine] : kRound12) {
    const float down = cosine > 0 ? 0.75f : 1.0f;
    ring.push_back({s.x, s.half_width * sine, s.centre - s.half_height * cosine * down});
  }
  return ring;
}

Part Hull() {
  Part part;
  std::vector<std::vector<Vertex>> rings;
  std::vector<float> vs;
  for (const Station& s : kHullStations) {
    rings.push_back(HullRing(s));
    vs.push_back((s.x - kNoseX) / (kTailX - kNoseX));
  }
  const std::vector<float> us = Steps(12);
  Sheet(part, rings, true, us, vs);
  Fan(part, rings.front(), {kNoseX, 0, -0.05f}, 0.5f, 0, us, vs.front());
  Fan(part, rings.back(), {kTailX + 0.05f, 0, kHullStations.back().centre}, 0.5f, 0.995f, us,
      0.985f);
  return part;
}

// One section of a wing, tailplane or fin: where its leading and trailing edges lie along x,
// how far out it is, how far it is lifted and how thick it is.
struct WingSection {
  float span, leading_x, trailing_x, lift, thickness;
};

// A wing through `sections`, from root to tip, each an airfoil of four points (leading edge,
// upper crest, trailing edge, lower crest), closed at the tip. `place` turns a point's x, its
// span and its height into the model's coordinates. The texture's u runs along the chord and v
// from vs of the root to that of the tip.
void Wing(Part& part, const std::vector<WingSection>& sections,
          const std::function<Vertex(float x, float span, float height)>& place, float root_v,
          float tip_v) {
  constexpr std::array<std::array<float, 2>, 4> kAirfoil = {
      {{0, 0}, {0.3f, 1}, {1, 0}, {0.3f, -0.5f}}};
  std::vector<std::vector<Vertex>> rings;
  std::vector<float> vs;
  const float root = sections.front().span, tip = sections.back().span;
  for (const WingSection& s : sections) {
    std::vector<Vertex> ring;
    for (const auto& [chord, height] : kAirfoil) {
      ring.push_back(place(s.leading_x + chord * (s.trailing_x - s.leading_x), s.span,
                           s.lift + height * s.thickness));
    }
    rings.push_back(ring);
    vs.push_back(root_v + (s.span - root) / (tip - root) * (tip_v - root_v));
  }
  const std::vector<float> us = {0, 0.3f, 0.999f, 0.3f, 0};
  Sheet(part, rings, true, us, vs);
  std::array<std::int32_t, 4> tip_points{}, tip_pairs{};
  for (std::size_t k = 0; k < 4; ++k) {
    tip_points[k] = part.AddVertex(rings.back()[k]);
    tip_pairs[k] = part.AddPair(us[k], tip_v);
  }
  part.AddPolygon(tip_points, tip_pairs);
}

Part Wings() {
  const std::vector<WingSection> wing = {{0.55f, -1.3f, 1.7f, -0.08f, 0.16f},
                                         {1.6f, -0.3f, 1.9f, 0.0f, 0.12f},
                                         {2.7f, 0.6f, 2.1f, 0.08f, 0.09f},
                                         {3.7f, 1.3f, 2.25f, 0.16f, 0.06f},
                                         {4.3f, 1.65f, 2.3f, 0.2f, 0.04f}};
  const std::vector<WingSection> tail = {{0.35f, 2.7f, 3.55f, 0.12f, 0.08f},
                                         {1.1f, 3.0f, 3.65f, 0.17f, 0.06f},
                                         {1.7f, 3.25f, 3.75f, 0.2f, 0.04f}};
  Part part;
  for (const float side : {-1.0f, 1.0f}) {
    const auto place = [side](float x, float span, float height) {
      return Vertex{x, side * span, height};
    };
    Wing(part, wing, place, 0, 0.999f);
    Wing(part, tail, place, 0.5f, 0.999f);
  }
  return part;
}

Part Fin() {
  Part part;
  Wing(
      part,
      {{0.3f, 1.9f, 3.6f, 0, 0.08f}, {1.1f, 2.7f, 3.7f, 0, 0.06f}, {1.7f, 3.25f, 3.8f, 0, 0.04f}},
      [](float x, float span, float height) {
        return Vertex{x, height, span};
      },
      0.999f, 0);
  return part;
}

Part Canopy() {
  struct Bulge {
    float x, size;
  };
  constexpr std::array<Bulge, 7> kBulges = {{{-2.75f, 0.15f},
                                             {-2.45f, 0.6f},
                                             {-2.0f, 0.88f},
                                             {-1.5f, 1.0f},
                                             {-1.0f, 0.95f},
                                             {-0.55f, 0.7f},
                                             {-0.3f, 0.2f}}};
  std::vector<std::vector<Vertex>> rings;
  std::vector<float> vs;
  for (const Bulge& bulge : kBulges) {
    const Station s = HullAt(bulge.x);
    const float foot = s.centre + 0.8f * s.half_height;
    std::vector<Vertex> ring;
    // Half a turn, from the left foot over the top to the right foot.
    for (std::size_t k = 9; k <= 15; ++k) {
      const auto& [sine, cosine] = kRound12[k % 12];
      ring.push_back({bulge.x, 0.4f * bulge.size * sine, foot + 0.36f * bulge.size * cosine});
    }
    rings.push_back(ring);
    vs.push_back((bulge.x - kBulges.front().x) / (kBulges.back().x - kBulges.front().x));
  }
  Part part;
  Sheet(part, rings, false, Steps(6), vs);
  return part;
}

Part Engines() {
  struct Ring {
    float x, radius, v;
  };
  constexpr std::array<Ring, 4> kRings = {
      {{1.0f, 0.2f, 0.0625f}, {1.3f, 0.3f, 0.125f}, {3.3f, 0.3f, 0.78f}, {3.8f, 0.25f, 0.8125f}}};
  const std::vector<float> us = Steps(8);
  Part part;
  for (const float y : {-1.0f, 1.0f}) {
    constexpr float kZ = -0.12f;
    std::vector<std::vector<Vertex>> rings;
    std::vector<float> vs;
    for (const Ring& r : kRings) {
      std::vector<Vertex> ring;
      for (const auto& [sine, cosine] : kRound8) {
        ring.push_back({r.x, y + r.radius * sine, kZ - r.radius * cosine});
      }
      rings.push_back(ring);
      vs.push_back(r.v);
    }
    Sheet(part, rings, true, us, vs);
    Fan(part, rings.front(), {1.25f, y, kZ}, 0.5f, 0.01f, us, 0.04f);
    Fan(part, rings.back(), {3.6f, y, kZ}, 0.5f, 0.99f, us, 0.83f);
  }
  return part;
}

// A top-level node holding the part's vertices and pairs, a group with its texture and its
// polygons, and one node of type 25 and one of type 23 (filled with the part's number): a
// section FF04 and FF05 record for every top-level node, as merging needs.
int Emit(OptBuilder& b, std::int32_t number, const Part& part, const TextureDesc& texture) {
  const int vertices = VertexList(b, part.vertices);
  const int pairs = PairList(b, part.pairs);
  const int painted = Texture(b, texture);
  const int polygons = PolygonList(b, part.rows);
  const int group = Group(b, {Ref::To(painted), Ref::To(polygons)});
  const int n25 = RecordNode(b, 25, std::vector<std::int32_t>(18, number));
  const int n23 = RecordNode(b, 23, std::vector<std::int32_t>(12, number));
  return TopLevelNode(
      b, {Ref::To(vertices), Ref::To(pairs), Ref::To(group), Ref::To(n25), Ref::To(n23)});
}

}  // namespace

BuiltOpt CraftModel() {
  OptBuilder b(0x00C00008);
  const int hull = Emit(b, 1, Hull(), HullTexture());
  const int wings = Emit(b, 2, Wings(), WingTexture());
  const int fin = Emit(b, 3, Fin(), FinTexture());
  const int canopy = Emit(b, 4, Canopy(), GlassTexture());
  const int engines = Emit(b, 5, Engines(), EngineTexture());
  b.TopLevel({Ref::To(hull), Ref::To(wings), Ref::To(fin), Ref::To(canopy), Ref::To(engines)});
  return b.Build();
}

}  // namespace durvane::fixture
