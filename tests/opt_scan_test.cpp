#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "opt/opt_image.h"
#include "opt/opt_scan.h"
#include "opt/texture_export.h"
#include "tests/support/opt_builder.h"

namespace durvane::opt {
namespace {

using fixture::BuiltOpt;
using fixture::Bytes;
using fixture::NodeHeader;
using fixture::OptBuilder;
using fixture::Ref;
using fixture::TextureLayout;
using fixture::TextureSpec;

TextureSpec TextureDesc(const std::string& name, TextureLayout layout = TextureLayout::A) {
  TextureSpec t;
  t.name = name;
  t.layout = layout;
  t.width = 3;
  t.height = 2;
  t.pixels = {9, 8, 7, 6, 5, static_cast<std::uint8_t>(name.back())};
  for (int n = 0; n < 256; ++n) t.palette[n] = static_cast<std::uint16_t>(n * 257 + name[0]);
  return t;
}

int Texture(OptBuilder& b, const std::string& name, TextureLayout layout = TextureLayout::A) {
  return fixture::Texture(b, TextureDesc(name, layout));
}

// A texture in layout A whose own ChildCount says something else.
int TextureWithChildCount(OptBuilder& b, const std::string& name, std::int32_t child_count) {
  TextureSpec t = TextureDesc(name);
  t.child_count_override = child_count;
  return fixture::Texture(b, t);
}

// A file of one top-level node holding one group whose texture list is `xs`.
BuiltOpt OneGroup(OptBuilder& b, const std::vector<Ref>& xs) {
  const int group = fixture::Group(b, xs);
  b.TopLevel({Ref::To(fixture::TopLevelNode(b, {Ref::To(group)}))});
  return b.Build();
}

// A file whose one group selects a node of `child_count` children listed in `table`.
BuiltOpt WithChildTable(OptBuilder& b, const Bytes& table, std::int32_t child_count,
                        const Bytes& in_place = {}) {
  const int s =
      b.Node({.child_count = child_count, .child_table = Ref::To(b.Blob(table))}, in_place);
  Bytes k;
  k.Address(Ref::To(s));
  const int g = b.Node({.child_count = 1}, k);
  b.TopLevel({Ref::To(fixture::TopLevelNode(b, {Ref::To(g)}))});
  return b.Build();
}

// A scanned file. The textures' pixels point into `opt`, kept here as long as they are.
struct Scanned {
  BuiltOpt opt;
  std::vector<TextureBitmap> textures;
  std::vector<std::string> warnings;
};

Scanned Scan(BuiltOpt opt) {
  Scanned out{std::move(opt), {}, {}};
  out.textures = ScanOpt(OptImage(out.opt.bytes), out.warnings);
  return out;
}

std::vector<std::string> Names(const std::vector<TextureBitmap>& textures) {
  std::vector<std::string> out;
  for (const TextureBitmap& t : textures) out.push_back(t.FileName());
  return out;
}

// The bitmap holds exactly what `desc` put into the file.
void ExpectTexture(const TextureBitmap& t, const TextureSpec& desc) {
  EXPECT_EQ(t.FileName(), desc.name + ".BMP");
  EXPECT_EQ(LoadI32(&t.header[18]), desc.width);
  EXPECT_EQ(LoadI32(&t.header[22]), desc.height);
  EXPECT_EQ(LoadU32(&t.header[2]), 1078u + desc.pixels.size());
  ASSERT_EQ(t.pixels.size(), desc.pixels.size());
  for (std::size_t i = 0; i < desc.pixels.size(); ++i) {
    EXPECT_EQ(std::to_integer<std::uint8_t>(t.pixels[i]), desc.pixels[i]) << "pixel " << i;
  }
  for (std::size_t n = 0; n < 256; ++n) {
    const auto entry = ColourTableEntry(desc.palette[n]);
    for (std::size_t c = 0; c < 4; ++c) {
      ASSERT_EQ(std::to_integer<std::uint8_t>(t.header[54 + 4 * n + c]), entry[c]) << "entry " << n;
    }
  }
}

TEST(ScanOpt, AnEmptyTopLevelTableGivesNoTextures) {
  OptBuilder b;
  Texture(b, "UNREACHD");
  const Scanned scanned = Scan(b.Build());
  EXPECT_TRUE(scanned.textures.empty());
  EXPECT_TRUE(scanned.warnings.empty());
}

TEST(ScanOpt, ReadsLayoutsAAndBInOneFile) {
  OptBuilder b;
  const int a = Texture(b, "LAYOUT_A");
  const int bb = Texture(b, "LAYOUT_B", TextureLayout::B);
  const auto [opt, textures, warnings] = Scan(OneGroup(b, {Ref::To(a), Ref::To(bb)}));
  ASSERT_EQ(textures.size(), 2u);
  ExpectTexture(textures[0], TextureDesc("LAYOUT_A"));
  ExpectTexture(textures[1], TextureDesc("LAYOUT_B", TextureLayout::B));
  EXPECT_EQ(textures[0].layout, opt::TextureLayout::kA);
  EXPECT_EQ(textures[1].layout, opt::TextureLayout::kB);
}

TEST(ScanOpt, SkipsTextureNodesOfOtherChildCountsAndOtherTypesAndEmptySlots) {
  OptBuilder b;
  const int first = Texture(b, "FIRST___");
  const int skipped = TextureWithChildCount(b, "SKIPPED_", 2);
  const int reference = fixture::TextureReference(b, "REFERENC");
  const int last = Texture(b, "LAST____", TextureLayout::B);
  // The skipped node is listed twice but warned about once.
  const auto [opt, textures, warnings] =
      Scan(OneGroup(b, {Ref::To(first), Ref::To(skipped), Ref::Null(), Ref::To(reference),
                        Ref::To(skipped), Ref::To(last)}));
  EXPECT_EQ(Names(textures), (std::vector<std::string>{"FIRST___.BMP", "LAST____.BMP"}));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("ChildCount 2"), std::string::npos) << warnings[0];
}

TEST(ScanOpt, OnlyGroupNodesAmongTopLevelChildrenAreFollowed) {
  OptBuilder b;
  const int tex = Texture(b, "INGROUP_");
  const int group = fixture::Group(b, {Ref::To(tex)});
  // The same shape under a node of type 3 is not followed.
  const int p = fixture::TopLevelNode(b, {Ref::To(Texture(b, "NOTGROUP"))});
  Bytes table;
  table.Address(Ref::To(p));
  const int s = b.Node({.child_count = 1, .child_table = Ref::To(b.Blob(table))});
  Bytes k;
  k.Address(Ref::To(s));
  const int not_group = b.Node({.type = 3, .child_count = 1}, k);
  b.TopLevel(
      {Ref::To(fixture::TopLevelNode(b, {Ref::To(not_group), Ref::Null(), Ref::To(group)}))});
  EXPECT_EQ(Names(Scan(b.Build()).textures), (std::vector<std::string>{"INGROUP_.BMP"}));
}

// A selected node whose child table lists one child E holding one texture named `name`.
int SelectedLeadingTo(OptBuilder& b, const std::string& name) {
  const int e = fixture::TopLevelNode(b, {Ref::To(Texture(b, name))});
  Bytes table;
  table.Address(Ref::To(e));
  return b.Node({.child_count = 1, .child_table = Ref::To(b.Blob(table))});
}

TEST(ScanOpt, SelectsTheNodeByTheGroupsChildCount) {
  struct Case {
    std::int32_t child_count;
    std::string expected;
  };
  for (const Case& c : {Case{1, "ENTRY_1_"}, Case{2, "DATA_ADR"}, Case{3, "ENTRY_3_"},
                        Case{4, "ENTRY_4_"}, Case{5, "DATA_ADR"}, Case{0, "DATA_ADR"}}) {
    OptBuilder b;
    const int data = SelectedLeadingTo(b, "DATA_ADR");
    Bytes entries;
    for (const char* name : {"ENTRY_1_", "ENTRY_2_", "ENTRY_3_", "ENTRY_4_", "ENTRY_5_"}) {
      entries.Address(Ref::To(SelectedLeadingTo(b, name)));
    }
    const int g = b.Node({.child_count = c.child_count, .data_address = Ref::To(data)}, entries);
    b.TopLevel({Ref::To(fixture::TopLevelNode(b, {Ref::To(g)}))});
    EXPECT_EQ(Names(Scan(b.Build()).textures), (std::vector<std::string>{c.expected + ".BMP"}))
        << "ChildCount " << c.child_count;
  }
}

TEST(ScanOpt, VisitsEveryChildOfTheSelectedNodeThroughItsChildTable) {
  OptBuilder b;
  const int e1 = fixture::TopLevelNode(b, {Ref::To(Texture(b, "E1_TEX__"))});
  const int e2 = fixture::TopLevelNode(
      b, {Ref::To(Texture(b, "E2_TEX_A")), Ref::Null(), Ref::To(Texture(b, "E2_TEX_B"))});
  Bytes table;
  table.Address(Ref::To(e1)).Address(Ref::To(e2));
  // The selected node's own in-place entries are not its children here: only the table counts.
  Bytes in_place;
  in_place.Address(Ref::To(fixture::TopLevelNode(b, {Ref::To(Texture(b, "INPLACE_"))})));
  in_place.Long(0);
  EXPECT_EQ(Names(Scan(WithChildTable(b, table, 2, in_place)).textures),
            (std::vector<std::string>{"E1_TEX__.BMP", "E2_TEX_A.BMP", "E2_TEX_B.BMP"}));
}

TEST(ScanOpt, TextureGroupRule) {
  {  // ChildCount 1: the only child in layout A, its own ChildCount unread.
    OptBuilder b;
    const int y = TextureWithChildCount(b, "ONLYCHLD", 1);
    const int x = fixture::TextureGroup(b, {Ref::To(y)}, 1);
    const auto [opt, textures, warnings] = Scan(OneGroup(b, {Ref::To(x)}));
    ASSERT_EQ(textures.size(), 1u);
    ExpectTexture(textures[0], TextureDesc("ONLYCHLD"));
  }
  {  // DataCount 1: texture children by their ChildCount; other types, 0 and ChildCount 2 skipped.
    OptBuilder b;
    const int x = fixture::TextureGroup(
        b,
        {Ref::To(Texture(b, "DC1_B___", TextureLayout::B)), Ref::Null(),
         Ref::To(fixture::TextureReference(b, "DC1_REF_")),
         Ref::To(TextureWithChildCount(b, "DC1_SKIP", 2)), Ref::To(Texture(b, "DC1_A___"))},
        1);
    const auto [opt, textures, warnings] = Scan(OneGroup(b, {Ref::To(x)}));
    ASSERT_EQ(textures.size(), 2u);
    ExpectTexture(textures[0], TextureDesc("DC1_B___", TextureLayout::B));
    ExpectTexture(textures[1], TextureDesc("DC1_A___"));
  }
  {  // DataCount 0: every texture child in layout A, whatever its ChildCount.
    OptBuilder b;
    const int x = fixture::TextureGroup(
        b,
        {Ref::To(fixture::TextureReference(b, "DC0_REF_")),
         Ref::To(TextureWithChildCount(b, "DC0_CC1_", 1)), Ref::To(Texture(b, "DC0_CC0_"))},
        0);
    const auto [opt, textures, warnings] = Scan(OneGroup(b, {Ref::To(x)}));
    ASSERT_EQ(textures.size(), 2u);
    ExpectTexture(textures[0], TextureDesc("DC0_CC1_"));
    ExpectTexture(textures[1], TextureDesc("DC0_CC0_"));
  }
  {  // Any other DataCount: nothing under the group.
    OptBuilder b;
    const int x = fixture::TextureGroup(
        b, {Ref::To(Texture(b, "DC5_A___")), Ref::To(Texture(b, "DC5_B___"))}, 5);
    const auto [opt, textures, warnings] =
        Scan(OneGroup(b, {Ref::To(x), Ref::To(Texture(b, "AFTER___"))}));
    EXPECT_EQ(Names(textures), (std::vector<std::string>{"AFTER___.BMP"}));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("DataCount 5"), std::string::npos) << warnings[0];
  }
}

TEST(ScanOpt, KeepsEveryTextureOfANameInWalkOrder) {
  OptBuilder b;
  TextureSpec second = TextureDesc("SAMENAME");
  second.pixels = {1, 2};
  const int t1 = Texture(b, "SAMENAME");
  const int t2 = fixture::Texture(b, second);
  const auto [opt, textures, warnings] = Scan(OneGroup(b, {Ref::To(t1), Ref::To(t2)}));
  ASSERT_EQ(textures.size(), 2u);
  ExpectTexture(textures[0], TextureDesc("SAMENAME"));
  ExpectTexture(textures[1], second);
}

// The error a scan of `opt` throws.
FormatError ScanError(const BuiltOpt& opt) {
  try {
    Scan(opt);
  } catch (const FormatError& e) {
    return e;
  }
  ADD_FAILURE() << "expected a FormatError";
  return FormatError(0, "");
}

// The message of the error a scan of `opt` throws.
std::string ScanErrorMessage(const BuiltOpt& opt) {
  try {
    Scan(opt);
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "expected an error";
  return "";
}

TEST(ScanOpt, RefusesANegativePixelCount) {
  OptBuilder b;
  TextureSpec desc = TextureDesc("NEGATIVE");
  const int t = fixture::Texture(b, desc);
  BuiltOpt opt = OneGroup(b, {Ref::To(t)});
  const std::size_t field = opt.OffsetOf(t) + 41;
  StoreI32(&opt.bytes[field], -1);
  const FormatError e = ScanError(opt);
  EXPECT_EQ(e.offset(), field);
  EXPECT_NE(std::string(e.what()).find("top-level entry 1"), std::string::npos) << e.what();
  EXPECT_NE(std::string(e.what()).find("PixelCount is -1"), std::string::npos) << e.what();
}

TEST(ScanOpt, RefusesPixelsAndPalettesPastTheEndOfTheFile) {
  {
    OptBuilder b;
    const int t = Texture(b, "PIXELS__");
    BuiltOpt opt = OneGroup(b, {Ref::To(t)});
    StoreI32(&opt.bytes[opt.OffsetOf(t) + 41], 0x7FFFFFFF);
    const FormatError e = ScanError(opt);
    EXPECT_EQ(e.offset(), opt.OffsetOf(t) + 57);
    EXPECT_NE(std::string(e.what()).find("pixel bytes"), std::string::npos) << e.what();
  }
  {
    OptBuilder b;
    const int t = Texture(b, "PALETTE_");
    BuiltOpt opt = OneGroup(b, {Ref::To(t)});
    // The palette then starts 100 bytes before the end of the file.
    const std::int32_t address = opt.AddressOf(0) +
                                 static_cast<std::int32_t>(opt.bytes.size() - opt.OffsetOf(0)) -
                                 100 - 3584;
    StoreI32(&opt.bytes[opt.OffsetOf(t) + 33], address);
    const FormatError e = ScanError(opt);
    EXPECT_EQ(e.offset(), opt.bytes.size() - 100);
    EXPECT_NE(std::string(e.what()).find("texture palette"), std::string::npos) << e.what();
  }
}

TEST(ScanOpt, RefusesAChildTableRunningPastTheEndOfTheFile) {
  OptBuilder b;
  Bytes table;
  table.Address(Ref::To(fixture::TopLevelNode(b, {})));
  const FormatError e = ScanError(WithChildTable(b, table, 1000));
  EXPECT_NE(std::string(e.what()).find("has ChildCount 1000, but its child table"),
            std::string::npos)
      << e.what();
}

TEST(ScanOpt, FollowsUntestedZeroAddressesUnderTheBoundsChecks) {
  // The child table of the selected node holds 0 where E should be.
  OptBuilder b;
  Bytes table;
  table.Long(0);
  const std::string message = ScanErrorMessage(WithChildTable(b, table, 1));
  EXPECT_NE(message.find("below OptBase"), std::string::npos) << message;

  // A selected node without a child table.
  OptBuilder no_table;
  Bytes k;
  k.Address(Ref::To(fixture::TopLevelNode(no_table, {Ref::To(Texture(no_table, "INPLACE_"))})));
  const int g = no_table.Node({.child_count = 1}, k);
  no_table.TopLevel({Ref::To(fixture::TopLevelNode(no_table, {Ref::To(g)}))});
  const FormatError e = ScanError(no_table.Build());
  EXPECT_NE(std::string(e.what()).find("child table at ChildTableAddress 0x0 lies outside"),
            std::string::npos)
      << e.what();
}

TEST(ScanOpt, EveryShorterPrefixOfAFileFailsCleanly) {
  OptBuilder b;
  const int x = fixture::TextureGroup(
      b, {Ref::To(Texture(b, "PREFIX_A")), Ref::To(Texture(b, "PREFIX_B", TextureLayout::B))}, 1);
  const BuiltOpt opt = OneGroup(b, {Ref::To(x)});
  ASSERT_EQ(Scan(opt).textures.size(), 2u);
  for (std::size_t n = 0; n < opt.bytes.size(); ++n) {
    const std::span<const std::byte> prefix(opt.bytes.data(), n);
    std::vector<std::string> warnings;
    EXPECT_THROW(ScanOpt(OptImage(prefix), warnings), Error) << "prefix of " << n << " bytes";
  }
}

TEST(ScanOpt, SharedNodesCannotMultiplyTheBitmapsWithoutBound) {
  OptBuilder b;
  TextureSpec big = TextureDesc("BIGSHARE");
  big.pixels.assign(65536, 1);
  const int t = fixture::Texture(b, big);
  const int e = fixture::TopLevelNode(b, std::vector<Ref>(100, Ref::To(t)));
  Bytes table;
  for (int i = 0; i < 100; ++i) table.Address(Ref::To(e));
  const std::string message = ScanErrorMessage(WithChildTable(b, table, 100));
  EXPECT_NE(message.find("bytes of bitmaps"), std::string::npos) << message;
}

}  // namespace
}  // namespace durvane::opt
