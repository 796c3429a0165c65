#include "opt/opt_signature.h"

#include <limits>

#include "core/byte_view.h"
#include "opt/opt_layout.h"

namespace durvane::opt {

bool LooksLikeOpt(std::span<const std::byte> head, std::uint64_t file_size) {
  const ByteView view(head);
  if (!view.Contains(kTopLevelTableOffset, 4)) return false;
  const std::int32_t base_address = view.LongUnchecked(kBaseAddressOffset);
  const std::int32_t node_count = view.LongUnchecked(kNodeCountOffset);
  if (base_address < std::numeric_limits<std::int32_t>::min() + 8 || node_count < 1 ||
      node_count > (1 << 20) ||
      kTopLevelTableOffset + 4 * static_cast<std::uint64_t>(node_count) > file_size) {
    return false;
  }
  const std::int64_t opt_base = static_cast<std::int64_t>(base_address) - 8;
  int nodes = 0;
  for (std::uint64_t at = kTopLevelTableOffset;
       at < kTopLevelTableOffset + 4 * static_cast<std::uint64_t>(node_count) &&
       view.Contains(at, 4);
       at += 4) {
    const std::int32_t address = view.LongUnchecked(at);
    if (address == 0) continue;
    const std::int64_t offset = address - opt_base;
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= file_size) return false;
    ++nodes;
  }
  return nodes > 0;
}

}  // namespace durvane::opt
