// Bit strings: numbers written as text of the characters '0' and '1', most significant bit
// first, with 1-based character positions. These helpers split a 16-bit colour into fields by
// way of such strings: an independent reference that the texture export's shifts are checked
// against.
#pragma once

#include <cstdint>
#include <string>

namespace durvane::fixture {

// Converts dec_val (0 to 32767) into a bit string without leading zeros ("" for 0) and
// returns it. Each of the num_bits passes moves the highest remaining one-bit of dec_val into
// the string, so on return dec_val holds the one-bits not converted: 0 whenever it had no
// more one-bits than num_bits. bit_start only numbers the passes and changes nothing.
// Throws std::invalid_argument for a negative dec_val.
std::string DecToBin(std::int16_t& dec_val, std::int16_t bit_start, std::int16_t num_bits);

// Prepends '0' characters to bit_val until it is num_bits long; a string already as long or
// longer is left as it is, never cut.
void BinBuffer(std::string& bit_val, int num_bits);

// Returns the value of the num_bits characters of bit_val that begin at position bit_start.
// Where the string ends inside the field, the characters present are the field's high bits
// and the missing ones count as 0; any character other than '1' counts as 0. On return
// bit_val holds the field with 16 - num_bits '0' characters in front of it.
// Throws std::invalid_argument unless bit_start >= 1 and 0 <= num_bits <= 16, or when the
// value does not fit a signed 16-bit integer.
std::int16_t BinToDec(std::string& bit_val, std::int16_t bit_start, std::int16_t num_bits);

}  // namespace durvane::fixture
