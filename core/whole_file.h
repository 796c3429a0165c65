// Reading input files whole.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "core/byte_buffer.h"

namespace durvane {

// Reads the whole of a regular file. Throws Error naming the path when it is missing, not a
// regular file or unreadable.
std::vector<std::byte> ReadFile(const std::filesystem::path& path);

// Reads the whole of a regular file into a buffer that is not zeroed first: for large inputs
// the library reads. A copy of the file's bytes, so another program changing the file while it
// is in use cannot affect the run.
ByteBuffer ReadFileBuffer(const std::filesystem::path& path);

}  // namespace durvane
