#include <ostream>

#include "app/cli/commands.h"

namespace durvane::cli {

void PrintFileError(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: error: '" << file << "': " << message << "\n";
}

void PrintFileWarning(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: warning: '" << file << "': " << message << "\n";
}

void PrintUsageError(Streams io, const std::string& message) {
  io.err << "durvane: error: " << message << "\n";
}

}  // namespace durvane::cli
