// durvane convert [-o QEL_DIR] [-j N] [--no-sync] [--no-wait] FILE.opt...
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>

#include "app/cli/commands.h"
#include "core/error.h"
#include "prj/conversion_run.h"

namespace durvane::cli {
namespace {

struct ConvertSettings {
  std::filesystem::path qel_directory = ".";
  std::vector<std::filesystem::path> files;
  unsigned jobs = 0;  // 0: one per core
  Durability durability = Durability::kSync;
  bool wait = true;
};

constexpr const char* kConvertUsage =
    "usage: durvane convert [-o QEL_DIR] [-j N] [--no-sync] [--no-wait] FILE.opt...\n";

// Parses the N of -j N: a whole number from 1 to 1024.
bool ParseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const unsigned value = static_cast<unsigned>(std::stoul(text));
  if (value < 1 || value > 1024) return false;
  jobs = value;
  return true;
}

// Returns false after printing a usage error.
bool ParseConvertArgs(const std::vector<std::string>& args, ConvertSettings& settings, Streams io) {
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && (a == "-o" || a == "--output")) {
      if (i + 1 >= args.size()) {
        PrintUsageError(io, "option " + a + " needs a folder");
        return false;
      }
      settings.qel_directory = args[++i];
    } else if (!options_done && (a == "-j" || a == "--jobs" || a.starts_with("-j"))) {
      std::string value;
      if (a == "-j" || a == "--jobs") {
        if (i + 1 >= args.size()) {
          PrintUsageError(io, "option " + a + " needs a number of jobs");
          return false;
        }
        value = args[++i];
      } else {
        value = a.substr(2);
      }
      if (!ParseJobs(value, settings.jobs)) {
        PrintUsageError(io,
                        "the number of jobs '" + value + "' is not a whole number from 1 to 1024");
        return false;
      }
    } else if (!options_done && a == kNoSyncOption) {
      settings.durability = Durability::kNoSync;
    } else if (!options_done && a == kNoWaitOption) {
      settings.wait = false;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      PrintUsageError(io, "unknown option '" + a + "'");
      return false;
    } else {
      settings.files.emplace_back(a);
    }
  }
  if (settings.files.empty()) {
    PrintUsageError(io, "no OPT file given");
    return false;
  }
  return true;
}

// Converts one file, printing what it wrote or why it failed. Returns true on success.
bool ConvertOne(const std::filesystem::path& file, const ConvertSettings& settings, Streams io,
                const LockWait& lock_wait) {
  const std::string shown = file.string();
  try {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const ConversionResult result = RunConversion(
        settings.qel_directory, folder, file.filename().string(), settings.durability, lock_wait);
    for (const std::string& w : result.warnings) PrintFileWarning(io, shown, w);
    io.out << "wrote " << result.prj_path.string() << "\n";
    for (const auto& bmp : result.bitmaps) io.out << "wrote " << bmp.string() << "\n";
    return true;
  } catch (const std::bad_alloc&) {
    PrintFileError(io, shown, "out of memory");
  } catch (const std::exception& e) {
    PrintFileError(io, shown, e.what());
  }
  return false;
}

// One file's conversion and the messages it printed, held back until the files before it
// have been printed, so that the output reads the same however many files convert at once.
struct FileOutcome {
  std::ostringstream out, err;
  bool ok = false;
  bool done = false;
};

// Converts the files on `jobs` threads; prints each file's messages in input order as soon as
// it and every file before it have finished. Returns true when every file converted.
bool ConvertAll(const ConvertSettings& settings, unsigned jobs, Streams io) {
  // Said at once, not held back with the file's other messages.
  const LockWait lock_wait = WaitSayingSo(settings.wait, io);
  const std::size_t count = settings.files.size();
  std::vector<FileOutcome> outcomes(count);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};

  // Converts the next file not yet taken; false when none is left.
  auto convert_next = [&] {
    const std::size_t i = next++;
    if (i >= count) return false;
    FileOutcome& o = outcomes[i];
    const bool ok = ConvertOne(settings.files[i], settings, Streams{o.out, o.err}, lock_wait);
    const std::lock_guard lock(mutex);
    o.ok = ok;
    o.done = true;
    finished.notify_all();
    return true;
  };
  bool all_ok = true;
  std::size_t printed = 0;
  auto print_ready = [&] {
    std::unique_lock lock(mutex);
    for (; printed < count && outcomes[printed].done; ++printed) {
      FileOutcome& o = outcomes[printed];
      lock.unlock();
      io.err << o.err.str();
      io.out << o.out.str() << std::flush;
      all_ok = o.ok && all_ok;
      lock.lock();
    }
  };

  std::vector<std::jthread> workers;
  const std::size_t threads = std::min<std::size_t>(jobs, count);
  for (std::size_t t = 1; t < threads; ++t) {
    workers.emplace_back([&] {
      while (convert_next()) {
      }
    });
  }
  // This thread converts too, and prints whatever is ready after each of its files.
  while (convert_next()) print_ready();
  while (printed < count) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return outcomes[printed].done; });
    }
    print_ready();
  }
  return all_ok;
}

// Two files of one run with the same base name would write the same output folder: the later
// would replace the earlier's PRJ file and leave its bitmaps beside it, and with several jobs
// both would write at once. The same file named twice is converted once; another file of that
// name is refused. Removes both from `settings`; returns false when a file was refused.
bool DropRepeatedOutputFolders(ConvertSettings& settings, Streams io) {
  std::map<std::string, std::filesystem::path> first_by_base;
  std::vector<std::filesystem::path> kept;
  bool ok = true;
  for (const std::filesystem::path& file : settings.files) {
    std::string base;
    try {
      base = OutputBaseName(file.filename().string());
    } catch (const Error&) {
      kept.push_back(file);  // the conversion reports the bad name
      continue;
    }
    const auto [it, first] = first_by_base.emplace(base, file);
    if (first) {
      kept.push_back(file);
      continue;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(file, it->second, ec)) {
      PrintFileWarning(io, file.string(),
                       "the same file as '" + it->second.string() + "', converted once");
    } else {
      PrintFileError(io, file.string(),
                     "not converted: its output folder '" +
                         (settings.qel_directory / base).string() + "' is the output of '" +
                         it->second.string() + "' in this run");
      ok = false;
    }
  }
  settings.files = std::move(kept);
  return ok;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args, Streams io) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    io.out << kConvertUsage;
    return kExitOk;
  }
  ConvertSettings settings;
  if (!ParseConvertArgs(args, settings, io)) {
    io.err << kConvertUsage;
    return kExitUsage;
  }
  unsigned jobs = settings.jobs;
  if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
  const bool unique = DropRepeatedOutputFolders(settings, io);
  return ConvertAll(settings, jobs, io) && unique ? kExitOk : kExitFailed;
}

}  // namespace durvane::cli
