#include "core/byte_view.h"

#include <string>

#include "core/error.h"

namespace durvane {

void ThrowPastEnd(std::uint64_t file_size, std::uint64_t offset, std::uint64_t count,
                  std::string_view what) {
  // The extent is given by its end, in the base of the offsets, so that it compares at a glance
  // with the end of the file.
  std::string message(what);
  message += " would end at " + Hex(offset + count) + ", but the file ends at " + Hex(file_size);
  throw FormatError(offset, message);
}

}  // namespace durvane
