#include <ostream>

#include "app/cli/commands.h"
#include "core/printable_text.h"

namespace durvane::cli {

void PrintFileError(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: error: '" << PrintableText(file) << "': " << PrintableText(message) << "\n";
}

void PrintFileWarning(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: warning: '" << PrintableText(file) << "': " << PrintableText(message) << "\n";
}

void PrintUsageError(Streams io, const std::string& message) {
  io.err << "durvane: error: " << PrintableText(message) << "\n";
}

}  // namespace durvane::cli
