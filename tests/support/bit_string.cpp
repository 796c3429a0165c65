#include "tests/support/bit_string.h"

#include <cstdint>
#include <stdexcept>

namespace durvane::fixture {
namespace {

constexpr std::size_t kBitStringWidth = 16;

}  // namespace

std::string DecToBin(std::int16_t& dec_val, std::int16_t /*bit_start*/, std::int16_t num_bits) {
  if (dec_val < 0) {
    throw std::invalid_argument("DecToBin: " + std::to_string(dec_val) + " is below 0");
  }
  std::string result(kBitStringWidth, '0');
  for (int pass = 0; pass < num_bits; ++pass) {
    // k becomes the bit length of dec_val and p its highest one-bit.
    int k = 0;
    int p = 0;
    while ((1 << k) <= dec_val) {
      p = 1 << k;
      ++k;
    }
    if (dec_val != 0) {
      result[kBitStringWidth - static_cast<std::size_t>(k)] = '1';
      dec_val = static_cast<std::int16_t>(dec_val - p);
    }
  }
  result.erase(0, result.find_first_not_of('0'));  // npos erases everything
  return result;
}

void BinBuffer(std::string& bit_val, int num_bits) {
  if (num_bits > 0 && bit_val.size() < static_cast<std::size_t>(num_bits)) {
    bit_val.insert(0, static_cast<std::size_t>(num_bits) - bit_val.size(), '0');
  }
}

std::int16_t BinToDec(std::string& bit_val, std::int16_t bit_start, std::int16_t num_bits) {
  if (bit_start < 1 || num_bits < 0 || num_bits > static_cast<int>(kBitStringWidth)) {
    throw std::invalid_argument("BinToDec: field of " + std::to_string(num_bits) +
                                " bits at position " + std::to_string(bit_start) +
                                " is outside a 16-bit string");
  }
  const auto start = static_cast<std::size_t>(bit_start - 1);
  const auto width = static_cast<std::size_t>(num_bits);
  bit_val = start < bit_val.size() ? bit_val.substr(start, width) : std::string();
  bit_val.insert(0, kBitStringWidth - width, '0');

  // The field's characters start at 0-based index 16 - num_bits; missing ones count as 0.
  std::int32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t at = kBitStringWidth - width + i;
    if (at < bit_val.size() && bit_val[at] == '1') value += std::int32_t{1} << (width - 1 - i);
  }
  if (value > INT16_MAX) {
    throw std::invalid_argument("BinToDec: the field " + bit_val +
                                " exceeds a signed 16-bit value");
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace durvane::fixture
