// Errors the library reports. The library never prints: callers turn these into messages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace durvane {

// Any failure the user can act on: the message says what was wrong and where.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An input file breaks its layout. Carries the file offset at which the problem was found.
class FormatError : public Error {
 public:
  FormatError(std::uint64_t offset, const std::string& detail);
  std::uint64_t offset() const { return offset_; }
  // The message without the offset.
  const std::string& detail() const { return detail_; }

 private:
  std::uint64_t offset_;
  std::string detail_;
};

// Inside a catch block: rethrows the current Error with "context: " put before its message,
// keeping its kind and offset. Other exceptions pass unchanged.
[[noreturn]] void RethrowWithContext(const std::string& context);

// Throws Error "cannot <action> '<path>': <detail>".
[[noreturn]] void ThrowFileError(const std::string& action, const std::filesystem::path& path,
                                 const std::string& detail);
// Throws Error "cannot <action> '<path>': <the system's text for `error`>".
[[noreturn]] void ThrowSystemError(const std::string& action, const std::filesystem::path& path,
                                   std::error_code error);

// "0x1f": offsets and addresses in messages are shown in hexadecimal.
std::string Hex(std::uint64_t value);

// A signed 32-bit value as hexadecimal, negative values shown with a minus sign.
std::string HexSigned(std::int64_t value);

}  // namespace durvane
