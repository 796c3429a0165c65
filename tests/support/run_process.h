// Runs a program with arguments and captures its exit status, stdout and stderr.
#pragma once

#include <string>
#include <vector>

namespace durvane::fixture {

struct ProcessResult {
  int exit_status = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

}  // namespace durvane::fixture
