// File names taken from input files: whether one may be used here, and how to show it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace durvane {

// Whether file names here follow Windows' rules as well.
#ifdef _WIN32
inline constexpr bool kWindowsNames = true;
#else
inline constexpr bool kWindowsNames = false;
#endif

// False when the name holds a byte that cannot be in a file name here (0x00 to 0x1F, 0x7F, or
// one of / \ : * ? " < > |), is empty, or is "." or "..", and on Windows also when
// WindowsRefusesName.
bool IsSafeFileName(std::string_view name);

// True when Windows cannot make a file of this name although the bytes are allowed: a reserved
// device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any letter case, alone or
// before an extension), a name that ends in a dot or a space, or one that is not UTF-8 (names
// are UTF-16 there).
bool WindowsRefusesName(std::string_view name);

// The name two file names share when they name one file here: on Windows, whose folders
// compare names without regard to letter case, the name in lower case; elsewhere the name.
std::string FileNameKey(std::string_view name);

// The text with ASCII letters in lower case and every other byte as it is.
std::string AsciiLower(std::string_view text);

// What a model file is, told by its extension in any letter case.
enum class ModelFileKind : std::uint8_t { kOpt, kPrj, kOther };
ModelFileKind ModelFileKindOf(const std::filesystem::path& path);

// The name for messages, with unprintable bytes and the backslash escaped as \xNN.
std::string PrintableName(std::string_view name);

}  // namespace durvane
