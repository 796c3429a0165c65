#include "usecases/batch_conversion.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "core/error.h"
#include "core/platform.h"

namespace durvane {
namespace {

// One file's end, held back until the files before it have been reported.
struct FileOutcome {
  enum class Kind : std::uint8_t { kFinished, kFailed, kCancelled };
  Kind kind = Kind::kFailed;
  ConversionResult result;
  std::string error;
  bool done = false;
};

// Converts one file; what happened goes into the returned outcome, which is not yet `done`.
FileOutcome ConvertOne(std::size_t index, const std::filesystem::path& file,
                       const BatchOptions& options, BatchObserver& observer) {
  FileOutcome outcome;
  try {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    outcome.result = RunConversion(
        options.qel_directory, folder, platform::PathBytes(file.filename()), options.durability,
        options.lock_wait, [&](ConversionStage stage) { observer.FileProgress(index, stage); });
    outcome.kind = FileOutcome::Kind::kFinished;
  } catch (const std::bad_alloc&) {
    outcome.error = "out of memory";
  } catch (const std::exception& e) {
    outcome.error = e.what();
  }
  return outcome;
}

// Two files of one run with the same base name would write the same output folder: the later
// would replace the earlier's PRJ file and leave its bitmaps beside it, and with several jobs
// both would write at once. The same file named twice is converted once; another file of that
// name is refused. Reports both kinds and returns the indices of the files to convert;
// `refused` becomes true when a file was refused.
std::vector<std::size_t> FilesToConvert(const std::vector<std::filesystem::path>& files,
                                        const BatchOptions& options, BatchObserver& observer,
                                        bool& refused) {
  std::map<std::string, std::filesystem::path> first_by_base;
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::filesystem::path& file = files[i];
    std::string base;
    try {
      base = OutputBaseName(platform::PathBytes(file.filename()));
    } catch (const Error&) {
      kept.push_back(i);  // the conversion reports the bad name
      continue;
    }
    const auto [it, first] = first_by_base.emplace(base, file);
    if (first) {
      kept.push_back(i);
      continue;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(file, it->second, ec)) {
      observer.FileRepeated(
          i, "the same file as '" + platform::PathBytes(it->second) + "', converted once");
    } else {
      observer.FileFailed(
          i, "not converted: its output folder '" +
                 platform::PathBytes(options.qel_directory / platform::PathFromBytes(base)) +
                 "' is the output of '" + platform::PathBytes(it->second) + "' in this run");
      refused = true;
    }
  }
  return kept;
}

}  // namespace

bool ConvertFiles(const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                  BatchObserver& observer) {
  bool refused = false;
  const std::vector<std::size_t> order = FilesToConvert(files, options, observer, refused);
  const std::size_t count = order.size();
  std::vector<FileOutcome> outcomes(count);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};

  // Converts the next file not yet taken, or cancels it once a stop is requested; false when
  // none is left.
  auto convert_next = [&] {
    const std::size_t n = next++;
    if (n >= count) return false;
    const std::size_t index = order[n];
    FileOutcome outcome;
    if (options.stop.stop_requested()) {
      outcome.kind = FileOutcome::Kind::kCancelled;
    } else {
      observer.FileStarted(index, files[index]);
      outcome = ConvertOne(index, files[index], options, observer);
    }
    const std::lock_guard lock(mutex);
    outcomes[n] = std::move(outcome);
    outcomes[n].done = true;
    finished.notify_all();
    return true;
  };

  // Reports, in order, every outcome whose files before it have been reported.
  bool all_converted = !refused;
  std::size_t reported = 0;
  auto report_ready = [&] {
    std::unique_lock lock(mutex);
    for (; reported < count && outcomes[reported].done; ++reported) {
      const FileOutcome& o = outcomes[reported];
      const std::size_t index = order[reported];
      lock.unlock();
      switch (o.kind) {
        case FileOutcome::Kind::kFinished:
          observer.FileFinished(index, o.result);
          break;
        case FileOutcome::Kind::kFailed:
          observer.FileFailed(index, o.error);
          break;
        case FileOutcome::Kind::kCancelled:
          observer.FileCancelled(index);
          break;
      }
      all_converted = all_converted && o.kind == FileOutcome::Kind::kFinished;
      lock.lock();
    }
  };

  const unsigned jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::jthread> workers;
  const std::size_t threads = std::min<std::size_t>(jobs, count);
  for (std::size_t t = 1; t < threads; ++t) {
    workers.emplace_back([&] {
      while (convert_next()) {
      }
    });
  }
  // This thread converts too, and reports whatever is ready after each of its files.
  while (convert_next()) report_ready();
  while (reported < count) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return outcomes[reported].done; });
    }
    report_ready();
  }
  return all_converted;
}

}  // namespace durvane
