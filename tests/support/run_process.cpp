#include "tests/support/run_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace durvane::fixture {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args) {
  std::string dir_pattern =
      (std::filesystem::temp_directory_path() / "durvane-run-XXXXXX").string();
  if (::mkdtemp(dir_pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string out_path = dir_pattern + "/out", err_path = dir_pattern + "/err";

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  ProcessResult r;
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(out_path);
  r.err = Slurp(err_path);
  std::filesystem::remove_all(dir_pattern);
  return r;
}

}  // namespace durvane::fixture
