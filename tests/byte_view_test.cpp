#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/byte_view.h"
#include "core/error.h"

namespace durvane {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

TEST(ByteView, ReadsLittleEndianLongs) {
  const auto data = Bytes({0x01, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  ByteView view(data);
  EXPECT_EQ(view.Long(0, "x"), 0xFF01);
  EXPECT_EQ(view.Long(4, "x"), -1);
  EXPECT_EQ(view.Long(1, "x"), static_cast<std::int32_t>(0xFF0000FF));
}

TEST(ByteView, RefusesReadsPastTheEndWithOffsetAndWhat) {
  const auto data = Bytes({1, 2, 3, 4, 5});
  ByteView view(data);
  EXPECT_NO_THROW(view.Long(1, "x"));
  try {
    view.Long(2, "NodeCount");
    FAIL() << "expected an error";
  } catch (const FormatError& e) {
    EXPECT_EQ(e.offset(), 2u);
    EXPECT_STREQ(e.what(), "offset 0x2: NodeCount would end at 0x6, but the file ends at 0x5");
  }
}

TEST(ByteView, HugeOffsetsAndCountsDoNotWrapAround) {
  const auto data = Bytes({1, 2, 3, 4});
  ByteView view(data);
  const auto max = std::numeric_limits<std::uint64_t>::max();
  EXPECT_FALSE(view.Contains(max, 4));
  EXPECT_FALSE(view.Contains(1, max));
  EXPECT_FALSE(view.Contains(5, 0));
  EXPECT_TRUE(view.Contains(4, 0));
  EXPECT_THROW(view.Bytes(2, max - 1, "pixels"), FormatError);
}

TEST(Error, ContextKeepsKindAndOffset) {
  try {
    try {
      throw FormatError(0x20, "bad");
    } catch (...) {
      RethrowWithContext("top-level entry 2");
    }
  } catch (const FormatError& e) {
    EXPECT_EQ(e.offset(), 0x20u);
    EXPECT_STREQ(e.what(), "offset 0x20: top-level entry 2: bad");
  }
}

}  // namespace
}  // namespace durvane
