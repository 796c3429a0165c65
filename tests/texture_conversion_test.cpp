#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_names.h"
#include "core/little_endian.h"
#include "usecases/conversion_run.h"
#include "tests/support/opt_builder.h"
#ifndef _WIN32
#include "tests/support/run_process.h"
#endif
#include "tests/support/sample_model.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

namespace fs = std::filesystem;
using namespace fixture;

class TextureConversion : public ::testing::Test {
 protected:
  fs::path WriteOpt(const std::string& name, const std::vector<std::byte>& bytes) {
    WriteBytes(in_ / name, bytes);
    return in_ / name;
  }

  // Everything in the QEL folder, relative to it.
  std::set<std::string> Tree() const {
    const std::vector<std::string> paths = ListTree(qel_.path());
    return {paths.begin(), paths.end()};
  }

  TempDir in_, qel_;
};

std::vector<std::byte> Expected(const opt::TextureBitmap& t) {
  std::vector<std::byte> out = t.header;
  out.insert(out.end(), t.pixels.begin(), t.pixels.end());
  return out;
}

TextureDesc NamedTexture(const std::string& name, std::vector<std::uint8_t> pixels) {
  TextureDesc t;
  t.name = name;
  t.width = static_cast<std::int32_t>(pixels.size());
  t.height = 1;
  t.pixels = std::move(pixels);
  for (int n = 0; n < 256; ++n) t.palette[n] = static_cast<std::uint16_t>(n * 131);
  return t;
}

// One top-level node whose group reaches `textures` in this order.
std::vector<std::byte> ModelWith(const std::vector<TextureDesc>& textures) {
  OptBuilder b;
  std::vector<Ref> refs;
  for (const TextureDesc& t : textures) refs.push_back(Ref::To(fixture::Texture(b, t)));
  const int group = fixture::Group(b, refs);
  b.TopLevel({Ref::To(fixture::TopLevelNode(b, {Ref::To(group)}))});
  return b.Build().bytes;
}

TEST_F(TextureConversion, WritesOneBitmapPerTextureBesideThePrjFile) {
  const auto opt = fixture::SampleModel().bytes;
  WriteOpt("Sample.OPT", opt);
  const ConversionResult result = RunConversion(qel_.path(), in_.path(), "Sample.OPT");

  const ConvertedModel model = ConvertOpt(opt);
  ASSERT_EQ(model.textures.size(), 5u);
  ASSERT_EQ(result.bitmaps.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    const fs::path expected = qel_.path() / "sample" / model.textures[i].FileName();
    EXPECT_EQ(result.bitmaps[i], expected);
    EXPECT_EQ(ReadBytes(expected), Expected(model.textures[i])) << expected;
  }
  EXPECT_EQ(Tree(), (std::set<std::string>{"sample", "sample/sample.prj", "sample/HULL0001.BMP",
                                           "sample/WING_A01.BMP", "sample/WING_B01.BMP",
                                           "sample/WING_C01.BMP", "sample/WING_D01.BMP"}));
}

TEST_F(TextureConversion, ANameMetTwiceGetsOneFileFromTheLastTextureReplacingOldBytes) {
  const auto opt = ModelWith({NamedTexture("TWICE___", {1, 2, 3, 4, 5}),
                              NamedTexture("OTHER___", {7}), NamedTexture("TWICE___", {9, 9})});
  WriteOpt("twice.opt", opt);
  // A longer file of that name from an earlier run must not leave bytes behind.
  fs::create_directory(qel_.path() / "twice");
  std::ofstream(qel_.path() / "twice" / "TWICE___.BMP") << std::string(5000, 'x');

  const ConversionResult result = RunConversion(qel_.path(), in_.path(), "twice.opt");
  EXPECT_EQ(result.bitmaps, (std::vector<fs::path>{qel_.path() / "twice" / "TWICE___.BMP",
                                                   qel_.path() / "twice" / "OTHER___.BMP"}));
  const auto written = ReadBytes(qel_.path() / "twice" / "TWICE___.BMP");
  ASSERT_EQ(written.size(), 1078u + 2u);
  EXPECT_EQ(LoadU32(&written[2]), 1080u);
  EXPECT_EQ(std::to_integer<int>(written[1078]), 9);
  EXPECT_EQ(std::to_integer<int>(written[1079]), 9);
}

TEST_F(TextureConversion, UnsafeNamesGetAWarningAndNoFileAnywhere) {
  // Each name is unsafe for one reason only: without it, the name would make a file.
  struct Case {
    std::string name;
    const char* printed;
  };
  const std::vector<Case> cases = {
      {"../EVIL_", "../EVIL_"},  // a folder separator, and nothing else
      {std::string("..\\EVIL_"), "..\\x5cEVIL_"},
      {"A:B_____", "A:B_____"},
      {"A*B_____", "A*B_____"},
      {"A?B_____", "A?B_____"},
      {"A|B_____", "A|B_____"},
      {"A\"B_____", "A\"B_____"},
      {"A<B_____", "A<B_____"},
      {"A>B_____", "A>B_____"},
      {std::string("A\x01"
                   "B_____",
                   8),
       "A\\x01B_____"},
      {std::string("A\x7f"
                   "B_____",
                   8),
       "A\\x7fB_____"},
      {"AB", "AB\\x00\\x00\\x00\\x00\\x00\\x00"},  // padded with 0 bytes
  };
  std::vector<TextureDesc> textures;
  for (const Case& c : cases) textures.push_back(NamedTexture(c.name, {1}));
  textures.push_back(NamedTexture("SAFE_NAM", {3}));
  WriteOpt("unsafe.opt", ModelWith(textures));
  const ConversionResult result = RunConversion(qel_.path(), in_.path(), "unsafe.opt");

  EXPECT_EQ(Tree(), (std::set<std::string>{"unsafe", "unsafe/unsafe.prj", "unsafe/SAFE_NAM.BMP"}));
  EXPECT_EQ(ListTree(in_.path()), std::vector<std::string>{"unsafe.opt"});
  std::vector<std::string> texture_warnings, expected;
  for (const std::string& w : result.warnings) {
    if (w.find("gets no bitmap") != std::string::npos) texture_warnings.push_back(w);
  }
  for (const Case& c : cases) {
    expected.push_back(std::string("texture \"") + c.printed +
                       "\" gets no bitmap: its name cannot be a file name");
  }
  EXPECT_EQ(texture_warnings, expected);
}

TEST_F(TextureConversion, ABadTextureWritesNothing) {
  const auto good = ModelWith({NamedTexture("GOOD____", {1, 2})});
  auto bad = ModelWith({NamedTexture("GOOD____", {1, 2}), NamedTexture("BADCOUNT", {3})});
  // The second texture's PixelCount (layout A, node offset 41) becomes negative.
  const ConvertedModel before = ConvertOpt(bad);
  ASSERT_EQ(before.textures.size(), 2u);
  const std::size_t pixels_at =
      static_cast<std::size_t>(before.textures[1].pixels.data() - bad.data());
  StoreI32(&bad[pixels_at - 57 + 41], -7);
  WriteOpt("bad.opt", bad);
  EXPECT_THROW(RunConversion(qel_.path(), in_.path(), "bad.opt"), FormatError);
  EXPECT_TRUE(Tree().empty());

  // A bitmap that cannot be written (a folder of that name is in the way) keeps the PRJ file
  // from being written too.
  WriteOpt("good.opt", good);
  fs::create_directories(qel_.path() / "good" / "GOOD____.BMP");
  EXPECT_THROW(RunConversion(qel_.path(), in_.path(), "good.opt"), Error);
  EXPECT_EQ(Tree(), (std::set<std::string>{"good", "good/GOOD____.BMP"}));
}

TEST_F(TextureConversion, NamesFollowTheRulesOfTheSystemTheyAreWrittenOn) {
  // Windows ignores the spaces before an extension: "CON     .BMP" is the device CON there.
  const std::vector<TextureDesc> textures = {NamedTexture("CON     ", {1}),
                                             NamedTexture("Hull____", {2}),
                                             NamedTexture("HULL____", {3, 3})};
  const std::vector<std::byte> opt = ModelWith(textures);
  WriteOpt("names.opt", opt);
  const ConversionResult result = RunConversion(qel_.path(), in_.path(), "names.opt");
  auto warned = [&](const std::string& part) {
    return std::any_of(result.warnings.begin(), result.warnings.end(),
                       [&](const std::string& w) { return w.find(part) != std::string::npos; });
  };
  const ConvertedModel model = ConvertOpt(opt);
  if (kWindowsNames) {
    // A device name makes no file; the two names that differ in case make one, from the last.
    EXPECT_EQ(Tree(), (std::set<std::string>{"names", "names/names.prj", "names/HULL____.BMP"}));
    const auto last = std::find_if(model.textures.begin(), model.textures.end(),
                                   [](const auto& t) { return t.FileName() == "HULL____.BMP"; });
    ASSERT_NE(last, model.textures.end());
    EXPECT_EQ(ReadBytes(qel_.path() / "names" / "HULL____.BMP"), Expected(*last));
    EXPECT_TRUE(warned("texture \"CON     \" gets no bitmap"));
    EXPECT_TRUE(warned("\"Hull____\" and \"HULL____\" write one bitmap here"));
  } else {
    EXPECT_EQ(Tree(), (std::set<std::string>{"names", "names/names.prj", "names/CON     .BMP",
                                             "names/Hull____.BMP", "names/HULL____.BMP"}));
    EXPECT_FALSE(warned("CON"));
    EXPECT_FALSE(warned("letter case"));
  }
}

#ifndef _WIN32
// The tool is started as a child process, which these tests do through POSIX calls.
const std::string kDurvane = DURVANE_BIN_DIR "/durvane";

TEST_F(TextureConversion, CommandLineWritesAndListsTheBitmaps) {
  const auto opt = ModelWith({NamedTexture("ONE_____", {1, 2, 3}), NamedTexture("../x", {4})});
  const fs::path file = WriteOpt("Model.opt", opt);
  const ProcessResult run = RunProcess(kDurvane, {"convert", "-o", qel_.path().string(), file});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const fs::path folder = qel_.path() / "model";
  EXPECT_EQ(run.out, "wrote " + (folder / "model.prj").string() + "\nwrote " +
                         (folder / "ONE_____.BMP").string() + "\n");
  EXPECT_NE(run.err.find("durvane: warning: '" + file.string() + "': texture \"../x"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadBytes(folder / "ONE_____.BMP"), Expected(ConvertOpt(opt).textures[0]));
  EXPECT_EQ(Tree(), (std::set<std::string>{"model", "model/model.prj", "model/ONE_____.BMP"}));
}

TEST_F(TextureConversion, CommandLineFailsCleanlyOnATruncatedTexture) {
  auto opt = ModelWith({NamedTexture("CUT_____", {1, 2, 3})});
  const ConvertedModel model = ConvertOpt(opt);
  // PixelCount (layout A, node offset 41) now claims more bytes than the file holds.
  const auto pixels_at = static_cast<std::size_t>(model.textures[0].pixels.data() - opt.data());
  StoreI32(&opt[pixels_at - 57 + 41], static_cast<std::int32_t>(opt.size()));
  const fs::path file = WriteOpt("cut.opt", opt);
  const ProcessResult run = RunProcess(kDurvane, {"convert", "-o", qel_.path().string(), file});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("durvane: error: '" + file.string() + "': offset "), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("pixel bytes"), std::string::npos) << run.err;
  EXPECT_TRUE(Tree().empty());
}
#endif

}  // namespace
}  // namespace durvane
