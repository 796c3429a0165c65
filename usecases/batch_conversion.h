// Converting many OPT files in one run, on several threads: the Create New operation of the
// command-line tool's convert command and of the window.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "usecases/conversion_run.h"

namespace durvane {

struct BatchOptions {
  std::filesystem::path qel_directory = ".";
  unsigned jobs = 0;  // files converted at once; 0: one per core
  Durability durability = Durability::kSync;
  // Whether to wait for another run that writes into a file's output folder.
  LockWait lock_wait;
  // Once a stop is requested, no further file is started; a file being converted is finished.
  std::stop_token stop;
};

// What ConvertFiles tells its caller about each file, by the file's index in the list given.
// The file events that end a file's story (FileRepeated, FileFailed, FileFinished,
// FileCancelled) come one at a time, on the thread that called ConvertFiles, and in this
// order: first, in input order, those of the files the run leaves out because of an earlier
// file (FileRepeated or FileFailed); then, in input order, one for each other file. FileStarted
// and FileProgress come from the thread converting the file, possibly at the same time as
// other calls. No method may throw.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;

  // The file's conversion has begun.
  virtual void FileStarted(std::size_t /*index*/, const std::filesystem::path& /*file*/) {}
  // The file's conversion has passed `stage`; stages come in order, each once.
  virtual void FileProgress(std::size_t /*index*/, ConversionStage /*stage*/) {}
  // The file names the same file as an earlier one, which is converted once; `warning` says so.
  virtual void FileRepeated(std::size_t /*index*/, const std::string& /*warning*/) {}
  // The file was converted; `result` says what was written, with its warnings.
  virtual void FileFinished(std::size_t /*index*/, const ConversionResult& /*result*/) {}
  // The file was not converted: it is invalid, cannot be read or written, or its output
  // folder is that of another file of the run. Nothing of it was written.
  virtual void FileFailed(std::size_t /*index*/, const std::string& /*error*/) {}
  // The file was not started because a stop was requested. Nothing of it was written.
  virtual void FileCancelled(std::size_t /*index*/) {}
};

// Converts each of `files` (paths to OPT files) into options.qel_directory as RunConversion
// does, options.jobs files at once. Two files whose output folders would be the same cannot
// both be converted: the same file named twice is converted once, and another file with the
// output folder of an earlier one is refused, so that no file of the run replaces another's
// output. Returns true when every file was converted.
bool ConvertFiles(const std::vector<std::filesystem::path>& files, const BatchOptions& options,
                  BatchObserver& observer);

}  // namespace durvane
