#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "core/little_endian.h"
#include "opt/texture_export.h"
#include "tests/support/opt_builder.h"

namespace durvane::opt {
namespace {

using Palette = std::array<std::byte, kPaletteBytes>;

Palette PaletteOf(std::initializer_list<std::uint16_t> first_entries) {
  Palette p{};
  std::size_t n = 0;
  for (std::uint16_t c : first_entries) {
    p[2 * n] = static_cast<std::byte>(c & 0xFF);
    p[2 * n + 1] = static_cast<std::byte>(c >> 8);
    ++n;
  }
  return p;
}

std::vector<std::byte> PixelRun(std::size_t count) {
  std::vector<std::byte> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::byte>(i * 13);
  return out;
}

std::uint32_t U32At(const std::vector<std::byte>& b, std::size_t at) {
  return LoadU32(&b[at]);
}

std::array<std::uint8_t, 4> TableEntry(const TextureBitmap& t, std::size_t n) {
  std::array<std::uint8_t, 4> out{};
  for (std::size_t c = 0; c < 4; ++c)
    out[c] = std::to_integer<std::uint8_t>(t.header[54 + 4 * n + c]);
  return out;
}

const auto kName = fixture::NameBytes("HULL0001");

TEST(ExportTexture, WritesTheHeaderByteForByte) {
  const Palette palette = PaletteOf({0xF800, 0x07E0, 0x001F, 0xFFFF});
  const auto pixels = PixelRun(6);
  const TextureBitmap t = ExportTexture(kName, palette, pixels, 3, 2);

  const std::uint8_t expected[54] = {'B',  'M',  0x3C, 0x04, 0, 0,  // file size 1084
                                     0,    0,    0,    0,           // reserved
                                     0x36, 0x04, 0,    0,           // pixel data at 1078
                                     40,   0,    0,    0,           // info header size
                                     3,    0,    0,    0,           // width
                                     2,    0,    0,    0,           // height
                                     1,    0,    8,    0,           // planes, bits per pixel
                                     0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
                                     0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(t.header.size(), 1078u);
  for (std::size_t i = 0; i < 54; ++i) {
    EXPECT_EQ(std::to_integer<std::uint8_t>(t.header[i]), expected[i]) << "header byte " << i;
  }
  EXPECT_EQ(t.name, kName);
  EXPECT_EQ(t.FileName(), "HULL0001.BMP");
}

TEST(ExportTexture, ConvertsFiveSixFiveColoursToTheColourTable) {
  const Palette palette = PaletteOf({0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410});
  const TextureBitmap t = ExportTexture(kName, palette, {}, 0, 0);
  using Entry = std::array<std::uint8_t, 4>;
  EXPECT_EQ(TableEntry(t, 0), (Entry{0, 0, 248, 0}));  // bytes 0x00 0xF8: red
  EXPECT_EQ(TableEntry(t, 1), (Entry{0, 252, 0, 0}));  // bytes 0xE0 0x07: green
  EXPECT_EQ(TableEntry(t, 2), (Entry{248, 0, 0, 0}));  // bytes 0x1F 0x00: blue
  EXPECT_EQ(TableEntry(t, 3), (Entry{248, 252, 248, 0}));
  EXPECT_EQ(TableEntry(t, 4), (Entry{0, 0, 0, 0}));
  EXPECT_EQ(TableEntry(t, 5), (Entry{128, 128, 128, 0}));  // the top bit of each channel
  EXPECT_EQ(TableEntry(t, 255), (Entry{0, 0, 0, 0}));
}

TEST(ExportTexture, A64By64TextureMakesAFileOf5174Bytes) {
  const auto pixels = PixelRun(4096);
  const TextureBitmap t = ExportTexture(kName, Palette{}, pixels, 64, 64);
  EXPECT_EQ(t.header.size() + t.pixels.size(), 5174u);
  EXPECT_EQ(U32At(t.header, 2), 5174u);
}

TEST(ExportTexture, KeepsPixelsAsStoredWhateverWidthAndHeightSay) {
  // Width 3 is no multiple of 4, and 3 x 5 is not 7: no padding is added, nothing is cut,
  // and the header still carries the node's width and height.
  const auto pixels = PixelRun(7);
  const TextureBitmap t = ExportTexture(kName, Palette{}, pixels, 3, 5);
  EXPECT_EQ(t.pixels.data(), pixels.data());  // the pixel bytes are not copied or reordered
  EXPECT_EQ(t.pixels.size(), 7u);
  EXPECT_EQ(U32At(t.header, 2), 1078u + 7u);
  EXPECT_EQ(U32At(t.header, 18), 3u);
  EXPECT_EQ(U32At(t.header, 22), 5u);

  const TextureBitmap odd = ExportTexture(kName, Palette{}, pixels, -4, -1);
  EXPECT_EQ(static_cast<std::int32_t>(U32At(odd.header, 18)), -4);
  EXPECT_EQ(static_cast<std::int32_t>(U32At(odd.header, 22)), -1);
}

}  // namespace
}  // namespace durvane::opt
