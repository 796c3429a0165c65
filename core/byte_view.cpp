#include "core/byte_view.h"

#include <string>

#include "core/error.h"

namespace durvane {

void ThrowPastEnd(std::uint64_t file_size, std::uint64_t offset, std::uint64_t count,
                  std::string_view what) {
  std::string message(what);
  message += " needs " + std::to_string(count) + " byte" + (count == 1 ? "" : "s");
  message += ", but the file ends at " + Hex(file_size);
  throw FormatError(offset, message);
}

}  // namespace durvane
