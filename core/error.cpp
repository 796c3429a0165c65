#include "core/error.h"

#include <cstdio>
#include <system_error>

namespace durvane {

FormatError::FormatError(std::uint64_t offset, const std::string& detail)
    : Error("offset " + Hex(offset) + ": " + detail), offset_(offset), detail_(detail) {}

void RethrowWithContext(const std::string& context) {
  try {
    throw;
  } catch (const FormatError& e) {
    throw FormatError(e.offset(), context + ": " + e.detail());
  } catch (const Error& e) {
    throw Error(context + ": " + e.what());
  }
}

void ThrowFileError(const std::string& action, const std::filesystem::path& path,
                    const std::string& detail) {
  throw Error("cannot " + action + " '" + path.string() + "': " + detail);
}

void ThrowSystemError(const std::string& action, const std::filesystem::path& path, int error) {
  // generic_category().message is strerror's text without its shared buffer, so threads may
  // fail at once.
  ThrowFileError(action, path, std::generic_category().message(error));
}

namespace {

// `value` written by snprintf with `format`. HexSigned writes its minus sign through the
// format, not as "-" + Hex(...), which GCC 12 at -O3 flags with a false -Wrestrict warning.
std::string FormatHex(const char* format, std::uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, format, static_cast<unsigned long long>(value));
  return buf;
}

}  // namespace

std::string Hex(std::uint64_t value) {
  return FormatHex("0x%llx", value);
}

std::string HexSigned(std::int64_t value) {
  if (value >= 0) return Hex(static_cast<std::uint64_t>(value));
  return FormatHex("-0x%llx", static_cast<std::uint64_t>(-(value + 1)) + 1);
}

}  // namespace durvane
