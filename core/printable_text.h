// Text from outside the program (file names, above all) made safe to show: to a terminal, where
// a control byte could move the cursor or change the title, and in JSON, which must be UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace durvane {

// The length of the valid UTF-8 sequence that starts `text`, or 0 when it does not start with
// one (a stray continuation byte, a truncated, overlong or surrogate sequence, or above
// U+10FFFF). `text` must not be empty.
std::size_t Utf8SequenceLength(std::string_view text);

bool IsValidUtf8(std::string_view text);

// `text` with every byte that would not print as itself written as \xNN: control characters
// (C0, DEL and the C1 range U+0080 to U+009F), line breaks and tabs, and bytes that are not
// part of valid UTF-8. Other characters, non-ASCII letters included, are kept.
std::string PrintableText(std::string_view text);

// The bytes of `text` as lower-case hexadecimal digits, two per byte.
std::string HexBytes(std::string_view text);

}  // namespace durvane
