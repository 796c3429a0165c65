#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "opt/bit_string.h"
#include "opt/texture_export.h"

namespace durvane::opt {
namespace {

TEST(DecToBin, WritesTheBitsWithoutLeadingZeros) {
  std::int16_t v = 5;
  EXPECT_EQ(DecToBin(v, 1, 16), "101");
  EXPECT_EQ(v, 0);

  v = 0;
  EXPECT_EQ(DecToBin(v, 1, 16), "");
  EXPECT_EQ(v, 0);

  v = 32767;
  EXPECT_EQ(DecToBin(v, 1, 16), std::string(15, '1'));
  EXPECT_EQ(v, 0);
}

TEST(DecToBin, EachPassConvertsTheHighestRemainingOneBit) {
  std::int16_t v = 255;
  EXPECT_EQ(DecToBin(v, 1, 4), "11110000");
  EXPECT_EQ(v, 15);

  v = 255;
  EXPECT_EQ(DecToBin(v, 1, 0), "");
  EXPECT_EQ(v, 255);
  EXPECT_EQ(DecToBin(v, 1, -3), "");
  EXPECT_EQ(v, 255);
}

TEST(DecToBin, BitStartDoesNotShiftTheResult) {
  std::int16_t v = 200;
  EXPECT_EQ(DecToBin(v, 7, 16), "11001000");
  EXPECT_EQ(v, 0);
}

TEST(DecToBin, RefusesNegativeValues) {
  std::int16_t v = -1;
  EXPECT_THROW(DecToBin(v, 1, 16), std::invalid_argument);
}

TEST(BinBuffer, PadsOnTheLeftAndNeverCuts) {
  std::string s = "101";
  BinBuffer(s, 8);
  EXPECT_EQ(s, "00000101");

  s = "";
  BinBuffer(s, 8);
  EXPECT_EQ(s, "00000000");

  s = "1010101010";
  BinBuffer(s, 8);
  EXPECT_EQ(s, "1010101010");

  s = "11";
  BinBuffer(s, -4);
  EXPECT_EQ(s, "11");
}

TEST(BinToDec, ReadsAFieldAndLeavesItPaddedTo16) {
  std::string s = "1111100000000000";
  EXPECT_EQ(BinToDec(s, 1, 5), 31);
  EXPECT_EQ(s, "0000000000011111");

  s = "0000011111100000";
  EXPECT_EQ(BinToDec(s, 6, 6), 63);
  EXPECT_EQ(s, "0000000000111111");

  s = "0000000000011111";
  EXPECT_EQ(BinToDec(s, 12, 5), 31);

  s = "0111111111111111";
  EXPECT_EQ(BinToDec(s, 1, 16), 32767);
  EXPECT_EQ(s, "0111111111111111");
}

TEST(BinToDec, AShortStringIsReadAsTheFieldsHighBits) {
  std::string s = "101";
  EXPECT_EQ(BinToDec(s, 2, 4), 4);
  EXPECT_EQ(s, "00000000000001");

  s = "101";
  EXPECT_EQ(BinToDec(s, 9, 3), 0);  // starts past the end
  EXPECT_EQ(s, std::string(13, '0'));
}

TEST(BinToDec, ZeroBitsAndCharactersOtherThanOneGiveZero) {
  std::string s = "1111";
  EXPECT_EQ(BinToDec(s, 1, 0), 0);
  EXPECT_EQ(s, std::string(16, '0'));

  s = "1x1";
  EXPECT_EQ(BinToDec(s, 1, 3), 5);
}

TEST(BinToDec, RefusesFieldsOutsideItsLimits) {
  std::string s = "1000000000000000";
  EXPECT_THROW(BinToDec(s, 1, 16), std::invalid_argument);  // 32768 is no signed 16-bit value
  s = "1";
  EXPECT_THROW(BinToDec(s, 0, 1), std::invalid_argument);
  EXPECT_THROW(BinToDec(s, 1, 17), std::invalid_argument);
  EXPECT_THROW(BinToDec(s, 1, -1), std::invalid_argument);
}

// One colour table entry computed the long way: both bytes to bit strings, padded, joined
// high byte first, and the three fields read back out of the string.
std::array<std::uint8_t, 4> EntryThroughBitStrings(std::uint8_t low, std::uint8_t high) {
  std::int16_t b1 = low;
  std::int16_t b2 = high;
  std::string s1 = DecToBin(b1, 1, 16);
  std::string s2 = DecToBin(b2, 1, 16);
  BinBuffer(s1, 8);
  BinBuffer(s2, 8);
  const std::string colour = s2 + s1;
  std::string c = colour;
  const int r5 = BinToDec(c, 1, 5);
  c = colour;
  const int g6 = BinToDec(c, 6, 6);
  c = colour;
  const int b5 = BinToDec(c, 12, 5);
  return {static_cast<std::uint8_t>(b5 * 256 / 32), static_cast<std::uint8_t>(g6 * 256 / 64),
          static_cast<std::uint8_t>(r5 * 256 / 32), 0};
}

TEST(ColourTableEntry, ShiftsAgreeWithBitStringsForEveryColour) {
  for (unsigned v = 0; v <= 0xFFFF; ++v) {
    const auto low = static_cast<std::uint8_t>(v & 0xFF);
    const auto high = static_cast<std::uint8_t>(v >> 8);
    ASSERT_EQ(ColourTableEntry(static_cast<std::uint16_t>(v)), EntryThroughBitStrings(low, high))
        << "colour " << v;
  }
}

}  // namespace
}  // namespace durvane::opt
