#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "opt/texture_export.h"
#include "tests/support/bit_string.h"

namespace durvane::opt {
namespace {

using fixture::BinBuffer;
using fixture::BinToDec;
using fixture::DecToBin;

TEST(DecToBin, ConvertsOneBitPerPassWithoutLeadingZeros) {
  struct Case {
    std::int16_t value, bit_start, num_bits;
    std::string bits;
    std::int16_t left;  // the one-bits not converted
  };
  for (const Case& c : {
           Case{5, 1, 16, "101", 0}, Case{0, 1, 16, "", 0},
           Case{32767, 1, 16, std::string(15, '1'), 0}, Case{255, 1, 4, "11110000", 15},
           Case{255, 1, 0, "", 255}, Case{255, 1, -3, "", 255},
           Case{200, 7, 16, "11001000", 0},  // bit_start only numbers the passes
       }) {
    std::int16_t v = c.value;
    EXPECT_EQ(DecToBin(v, c.bit_start, c.num_bits), c.bits)
        << c.value << " (" << c.bit_start << ", " << c.num_bits << ")";
    EXPECT_EQ(v, c.left) << c.value << " (" << c.bit_start << ", " << c.num_bits << ")";
  }
}

TEST(DecToBin, RefusesNegativeValues) {
  std::int16_t v = -1;
  EXPECT_THROW(DecToBin(v, 1, 16), std::invalid_argument);
}

TEST(BinBuffer, PadsOnTheLeftAndNeverCuts) {
  struct Case {
    std::string in;
    int num_bits;
    std::string out;
  };
  for (const Case& c : {Case{"101", 8, "00000101"}, Case{"", 8, "00000000"},
                        Case{"1010101010", 8, "1010101010"}, Case{"11", -4, "11"}}) {
    std::string s = c.in;
    BinBuffer(s, c.num_bits);
    EXPECT_EQ(s, c.out) << "\"" << c.in << "\" to " << c.num_bits;
  }
}

TEST(BinToDec, ReadsAFieldAndLeavesItPaddedTo16) {
  struct Case {
    std::string in;
    std::int16_t bit_start, num_bits;
    std::int16_t value;
    std::string left;
  };
  for (const Case& c : {
           Case{"1111100000000000", 1, 5, 31, "0000000000011111"},
           Case{"0000011111100000", 6, 6, 63, "0000000000111111"},
           Case{"0000000000011111", 12, 5, 31, "0000000000011111"},
           Case{"0111111111111111", 1, 16, 32767, "0111111111111111"},
           // A string that ends inside the field gives the field's high bits.
           Case{"101", 2, 4, 4, "00000000000001"},
           Case{"101", 9, 3, 0, std::string(13, '0')},  // starts past the end
       }) {
    std::string s = c.in;
    EXPECT_EQ(BinToDec(s, c.bit_start, c.num_bits), c.value)
        << c.in << " (" << c.bit_start << ", " << c.num_bits << ")";
    EXPECT_EQ(s, c.left) << c.in << " (" << c.bit_start << ", " << c.num_bits << ")";
  }
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
