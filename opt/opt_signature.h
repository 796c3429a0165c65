// Whether bytes that failed as another kind of file look like an OPT file, so that a message
// can say what the file most likely is before saying what is wrong with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace durvane::opt {

// True when `head`, the first bytes of a file of `file_size` bytes, holds an OPT header whose
// NodeCount is from 1 to 2^20 and whose top-level table, as far as `head` holds it, lists only
// empty slots and addresses of nodes inside the file, at least one of them. 64 KiB of head is
// plenty.
bool LooksLikeOpt(std::span<const std::byte> head, std::uint64_t file_size);

}  // namespace durvane::opt
