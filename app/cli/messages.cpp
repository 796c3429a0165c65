#include <exception>
#include <filesystem>
#include <new>
#include <ostream>
#include <string>

#include "app/cli/commands.h"
#include "core/platform.h"
#include "core/printable_text.h"

namespace durvane::cli {

void PrintFileError(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: error: '" << PrintableText(file) << "': " << PrintableText(message) << "\n";
}

int ReportingErrorsOf(Streams io, const std::string& file, const std::function<int()>& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    PrintFileError(io, file, "out of memory");
  } catch (const std::exception& e) {
    PrintFileError(io, file, e.what());
  }
  return kExitFailed;
}

void PrintFileWarning(Streams io, const std::string& file, const std::string& message) {
  io.err << "durvane: warning: '" << PrintableText(file) << "': " << PrintableText(message) << "\n";
}

void PrintUsageError(Streams io, const std::string& message) {
  io.err << "durvane: error: " << PrintableText(message) << "\n";
}

LockWait WaitSayingSo(bool wait, Streams io) {
  LockWait lock_wait;
  lock_wait.wait = wait;
  lock_wait.on_wait = [&err = io.err](const std::filesystem::path& path) {
    // One insertion, so that lines of jobs running at once do not interleave.
    err << ("durvane: waiting for another durvane run to finish with '" +
            platform::PathBytes(path) + "'\n")
        << std::flush;
  };
  return lock_wait;
}

}  // namespace durvane::cli
