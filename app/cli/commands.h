// The subcommands of the command-line tool. Each reads its arguments by the option table its
// help prints (option_parser.h), calls the library and returns the process exit status:
// 0 success, 1 a file failed, 2 a usage error.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/file_lock.h"

namespace durvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The option of convert and merge that returns without waiting for the written files to reach
// the disk.
inline constexpr const char* kNoSyncOption = "--no-sync";

// The option of convert and merge that fails at once, instead of waiting, when another durvane
// run is writing the same output.
inline constexpr const char* kNoWaitOption = "--no-wait";

// The option of merge that keeps the first file as it was under its backup name.
inline constexpr const char* kBackupOption = "--backup";

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

int RunConvertCommand(const std::vector<std::string>& args, Streams io);
int RunExportCommand(const std::vector<std::string>& args, Streams io);
int RunInfoCommand(const std::vector<std::string>& args, Streams io);
int RunMergeCommand(const std::vector<std::string>& args, Streams io);
int RunRenderCommand(const std::vector<std::string>& args, Streams io);

// "durvane: error: 'file': message" on stderr, with control bytes and bytes that are not
// UTF-8 written as \xNN, so that no name can drive the terminal.
void PrintFileError(Streams io, const std::string& file, const std::string& message);
void PrintFileWarning(Streams io, const std::string& file, const std::string& message);
void PrintUsageError(Streams io, const std::string& message);
// Runs `work` and returns its exit status; an exception it throws is printed as the error of
// `file` ("out of memory" for std::bad_alloc) and gives kExitFailed.
int ReportingErrorsOf(Streams io, const std::string& file, const std::function<int()>& work);

// How a run waits for another run's lock: when `wait`, saying on stderr that it waits.
LockWait WaitSayingSo(bool wait, Streams io);

}  // namespace durvane::cli
