// File names taken from input files: whether one may be used here, and how to show it.
#pragma once

#include <string>
#include <string_view>

namespace durvane {

// False when the name holds a byte that cannot be in a file name here (0x00 to 0x1F, 0x7F, or
// one of / \ : * ? " < > |), is empty, or is "." or "..".
bool IsSafeFileName(std::string_view name);

// The name for messages, with unprintable bytes and the backslash escaped as \xNN.
std::string PrintableName(std::string_view name);

}  // namespace durvane
