// The bundled craft: the file in examples/ is the fixture builder's craft, it converts with every
// texture written, and its picture shows those textures rather than flat faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "core/little_endian.h"
#include "render/renderer.h"
#include "tests/support/craft_model.h"
#include "tests/support/temp_dir.h"
#include "usecases/conversion_run.h"
#include "usecases/model_files.h"

namespace durvane {
namespace {

using namespace fixture;
using render::RenderOptions;

TEST(CraftModel, TheBundledCraftIsTheFixtureBuildersCraft) {
  EXPECT_EQ(ReadBytes(DURVANE_SOURCE_DIR "/examples/craft.opt"), CraftModel().bytes)
      << "regenerate it with: build/bin/make-sample --craft examples/craft.opt";
}

TEST(CraftModel, ConvertsWithEveryTextureWrittenInDetailAndPaintingItsPolygons) {
  TempDir dir;
  WriteBytes(dir / "craft.opt", CraftModel().bytes);
  const ConversionResult result = RunConversion(dir.path(), dir.path(), "craft.opt");
  EXPECT_TRUE(result.warnings.empty());

  struct Case {
    const char* bitmap;
    std::int32_t width, height;
  };
  const Case cases[] = {{"CRFTHULL.BMP", 128, 256},
                        {"CRFTWING.BMP", 64, 128},
                        {"CRFTTAIL.BMP", 64, 64},
                        {"CRFTGLAS.BMP", 64, 64},
                        {"CRFTENGN.BMP", 64, 64}};
  ASSERT_EQ(result.bitmaps.size(), std::size(cases));
  std::vector<std::string> names;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.bitmap);
    names.push_back(c.bitmap);
    EXPECT_EQ(result.bitmaps[i].filename(), c.bitmap);
    const std::vector<std::byte> bmp = ReadBytes(dir / "craft" / c.bitmap);
    const std::size_t pixels = static_cast<std::size_t>(c.width) * c.height;
    ASSERT_EQ(bmp.size(), 1078 + pixels);
    EXPECT_EQ(LoadI32(bmp.data() + 18), c.width);
    EXPECT_EQ(LoadI32(bmp.data() + 22), c.height);
    // Panels, seams, rivets and markings: many palette entries, none of them most of the
    // texture.
    std::array<std::size_t, 256> uses{};
    for (std::size_t p = 1078; p < bmp.size(); ++p) ++uses[std::to_integer<std::uint8_t>(bmp[p])];
    const auto used = std::count_if(uses.begin(), uses.end(), [](auto n) { return n > 0; });
    EXPECT_GE(used, 12);
    EXPECT_LT(*std::max_element(uses.begin(), uses.end()), pixels * 3 / 4);
  }

  const render::Model model = render::LoadModelFile(dir / "craft" / "craft.prj");
  EXPECT_TRUE(model.warnings().empty());
  EXPECT_EQ(model.bitmap_names(), names);
  std::vector<std::size_t> polygons_of(names.size());
  for (std::size_t p = 0; p < model.size(); ++p) {
    const std::uint32_t bitmap = model[p].bitmap;
    ASSERT_NE(model.bitmap(bitmap), nullptr) << "polygon " << p;
    ++polygons_of[bitmap];
  }
  // A hull of a hundred faces and more, and every part made of many.
  EXPECT_GE(polygons_of[0], 100u);
  for (std::size_t n : polygons_of) EXPECT_GE(n, 9u);
}

// The picture's colours inside the craft's outline: how many differ, and how often a pixel
// differs from its right-hand neighbour.
struct Detail {
  std::size_t covered = 0, colours = 0, changes = 0;
};
Detail DetailOf(const render::Image& image) {
  Detail d;
  std::set<std::array<std::uint8_t, 3>> colours;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p =
          image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
      if (p[3] == 0) continue;
      ++d.covered;
      colours.insert({p[0], p[1], p[2]});
      if (x + 1 < image.width && p[7] != 0 && !std::equal(p, p + 3, p + 4)) ++d.changes;
    }
  }
  d.colours = colours.size();
  return d;
}

TEST(CraftModel, ItsPictureShowsItsTexturesNotFlatFaces) {
  TempDir dir;
  WriteBytes(dir / "craft.opt", CraftModel().bytes);
  const render::Model model = render::LoadModelFile(dir / "craft.opt");
  RenderOptions options;
  options.width = options.height = 256;
  const Detail painted = DetailOf(render::Render(model, options).image);
  options.flat = true;
  const Detail flat = DetailOf(render::Render(model, options).image);

  EXPECT_EQ(painted.covered, flat.covered);
  EXPECT_GT(painted.covered, 256u * 256 / 20);  // the craft is in sight
  // Flat faces show one colour per face direction and change colour only at their edges.
  EXPECT_GT(painted.colours, 4 * flat.colours);
  EXPECT_GT(painted.changes, 3 * flat.changes);
}

}  // namespace
}  // namespace durvane
