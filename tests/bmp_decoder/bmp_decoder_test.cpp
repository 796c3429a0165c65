#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "core/little_endian.h"
#include "opt/texture_export.h"
#include "usecases/conversion_run.h"
#include "tests/support/opt_builder.h"
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

namespace fs = std::filesystem;
using fixture::OptBuilder;
using fixture::Ref;
using fixture::TextureDesc;
using fixture::TextureLayout;

class BmpDecoder : public ::testing::Test {
 protected:
  // Converts `bytes` as model.opt and returns the output folder.
  fs::path Convert(const std::vector<std::byte>& bytes) {
    fixture::WriteBytes(root_ / "model.opt", bytes);
    return RunConversion(root_, root_, "model.opt").output_folder;
  }

  fixture::TempDir dir_;
  fs::path root_ = dir_.path();
};

std::int32_t HeaderLong(const opt::TextureBitmap& t, std::size_t at) {
  return LoadI32(&t.header[at]);
}

// Decodes the file written for `t` and checks that the image has the texture's size, its 256
// colours and its pixel indices, the first stored row at the bottom. Returns the image.
QImage ExpectDecodesAs(const fs::path& folder, const opt::TextureBitmap& t) {
  const fs::path file = folder / t.FileName();
  QImage image(QString::fromStdString(file.string()));
  EXPECT_FALSE(image.isNull()) << file;
  if (image.isNull()) return image;
  const int width = HeaderLong(t, 18);
  const int height = HeaderLong(t, 22);
  EXPECT_EQ(image.width(), width) << file;
  EXPECT_EQ(image.height(), height) << file;
  EXPECT_EQ(image.format(), QImage::Format_Indexed8) << file;

  const QList<QRgb> table = image.colorTable();
  EXPECT_EQ(table.size(), 256) << file;
  for (int n = 0; n < 256 && n < table.size(); ++n) {
    const std::byte* entry = &t.header[54 + 4 * static_cast<std::size_t>(n)];
    const QRgb written = qRgb(std::to_integer<int>(entry[2]), std::to_integer<int>(entry[1]),
                              std::to_integer<int>(entry[0]));
    EXPECT_EQ(table[n], written) << file << " colour " << n;
  }
  EXPECT_EQ(t.pixels.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height && row < image.height(); ++row) {
    for (int x = 0; x < width && x < image.width(); ++x) {
      const auto stored = std::to_integer<int>(t.pixels[static_cast<std::size_t>(row * width + x)]);
      if (image.pixelIndex(x, height - 1 - row) != stored) {
        ADD_FAILURE() << file << ": stored row " << row << " column " << x << " decodes as "
                      << image.pixelIndex(x, height - 1 - row) << ", not " << stored;
        return image;
      }
    }
  }
  return image;
}

TEST_F(BmpDecoder, ReadsBackLayoutsAAndBAndTextureGroupChildren) {
  const std::vector<TextureDesc> textures = {
      fixture::PatternTexture("DECODE_A", TextureLayout::A, 8, 4, 0x1111),
      fixture::PatternTexture("DECODE_B", TextureLayout::B, 4, 12, 0x2222),
      fixture::PatternTexture("BIG64X64", TextureLayout::A, 64, 64, 0x3333),
      fixture::PatternTexture("GROUP_B_", TextureLayout::B, 16, 2, 0x4444),
      fixture::PatternTexture("GROUP_A_", TextureLayout::A, 12, 3, 0x5555),
  };
  OptBuilder b;
  std::vector<int> nodes;
  for (const TextureDesc& desc : textures) nodes.push_back(fixture::Texture(b, desc));
  const int grouped = fixture::TextureGroup(b, {Ref::To(nodes[3]), Ref::To(nodes[4])}, 1);
  const int group = fixture::Group(
      b, {Ref::To(nodes[0]), Ref::To(nodes[1]), Ref::To(nodes[2]), Ref::To(grouped)});
  b.TopLevel({Ref::To(fixture::TopLevelNode(b, {Ref::To(group)}))});
  const std::vector<std::byte> opt = b.Build().bytes;
  const fs::path folder = Convert(opt);

  const ConvertedModel model = ConvertOpt(opt);
  ASSERT_EQ(model.textures.size(), textures.size());
  for (std::size_t i = 0; i < textures.size(); ++i) {
    const QImage image = ExpectDecodesAs(folder, model.textures[i]);
    // The colours are the node's 5-6-5 palette widened to 8 bits per channel.
    const QList<QRgb> table = image.colorTable();
    for (int n = 0; n < 256 && n < table.size(); ++n) {
      const std::uint16_t c = textures[i].palette[static_cast<std::size_t>(n)];
      EXPECT_EQ(table[n], qRgb((c >> 11) << 3, ((c >> 5) & 63) << 2, (c & 31) << 3))
          << textures[i].name << " colour " << n;
    }
  }
  EXPECT_EQ(fs::file_size(folder / "BIG64X64.BMP"), 5174u);
}

TEST_F(BmpDecoder, ReadsBackTheSampleModelsTexturesWhoseRowsNeedNoPadding) {
  const std::vector<std::byte> opt = fixture::SampleModel().bytes;
  const fs::path folder = Convert(opt);
  int checked = 0;
  for (const opt::TextureBitmap& t : ConvertOpt(opt).textures) {
    // Decoders expect rows padded to 4 bytes, which the bitmaps do not have.
    if (HeaderLong(t, 18) % 4 != 0) continue;
    ExpectDecodesAs(folder, t);
    ++checked;
  }
  EXPECT_EQ(checked, 2);  // HULL0001 and WING_B01
}

}  // namespace
}  // namespace durvane
