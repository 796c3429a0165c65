// The kind of a file named on the command line, told by its extension in any letter case.
#pragma once

#include <filesystem>

namespace durvane::cli {

enum class FileKind { kOpt, kPrj, kOther };

FileKind KindOf(const std::filesystem::path& file);

}  // namespace durvane::cli
