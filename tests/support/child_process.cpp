#include "tests/support/child_process.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

namespace durvane::fixture {
namespace {

constexpr int kExitNoPrivilegeDrop = 125;
constexpr uid_t kNobody = 65534;

void WriteString(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string ReadAll(int fd) {
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

void KillSelf(int) {
  ::kill(::getpid(), SIGKILL);
}

bool DropPrivileges() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
         ::geteuid() != 0;
}

// In the child: applies the options, runs the body, reports through `fd`, never returns.
[[noreturn]] void ChildMain(const ChildOptions& options, const std::function<std::string()>& body,
                            int fd) {
  if (options.drop_privileges && !DropPrivileges()) ::_exit(kExitNoPrivilegeDrop);
  if (options.file_size_limit != 0) {
    ::signal(SIGXFSZ, options.kill_at_limit ? KillSelf : SIG_IGN);
    const rlimit limit{options.file_size_limit, options.file_size_limit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(kExitNoPrivilegeDrop + 1);
  }
  int code = 0;
  std::string report;
  try {
    report = body();
  } catch (const std::exception& e) {
    report = std::string("error: ") + e.what();
    code = 1;
  }
  WriteString(fd, report);
  ::_exit(code);
}

}  // namespace

ChildOutcome RunInChild(const ChildOptions& options, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(fds[0]);
    ChildMain(options, body, fds[1]);
  }
  ::close(fds[1]);
  ChildOutcome outcome;
  outcome.report = ReadAll(fds[0]);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  outcome.exited = WIFEXITED(status);
  if (outcome.exited) outcome.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.privileges_unavailable = outcome.exited && outcome.exit_code == kExitNoPrivilegeDrop;
  return outcome;
}

}  // namespace durvane::fixture
