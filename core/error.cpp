#include "core/error.h"

#include <cstdio>
#include <system_error>

#include "core/platform.h"

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
  throw Error("cannot " + action + " '" + platform::PathBytes(path) + "': " + detail);
}

void ThrowSystemError(const std::string& action, const std::filesystem::path& path,
                      std::error_code error) {
  ThrowFileError(action, path, platform::ErrorText(error));
}

std::string Hex(std::uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
  return buf;
}

std::string HexSigned(std::int64_t value) {
  if (value >= 0) return Hex(static_cast<std::uint64_t>(value));
  return "-" + Hex(static_cast<std::uint64_t>(-(value + 1)) + 1);
}

}  // namespace durvane
