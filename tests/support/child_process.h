// Runs a piece of a test in a child process under conditions a test cannot set
// up in its own process: no root privileges, a file size limit, death in the middle of a write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace durvane::fixture {

struct ChildOptions {
  // Run as the unprivileged user "nobody" when the tests run as root, so that permission bits
  // stop the child as they would stop a user.
  bool drop_privileges = false;
  // RLIMIT_FSIZE in bytes; 0 sets none.
  std::uint64_t file_size_limit = 0;
  // At the limit: false makes the write fail with EFBIG (the disk is full, as far as the
  // child can tell); true kills the child with SIGKILL at that moment, halfway through a write.
  bool kill_at_limit = false;
};

struct ChildOutcome {
  bool exited = false;  // false: ended by a signal
  int exit_code = -1;
  int signal = 0;
  std::string report;  // what the body returned, or "error: " and the message it threw
  bool privileges_unavailable = false;  // drop_privileges asked for but impossible here
};

// Runs `body` in a forked child under `options` and waits for it. The child exits 0 after the
// body returns and 1 when it throws std::exception.
ChildOutcome RunInChild(const ChildOptions& options, const std::function<std::string()>& body);

}  // namespace durvane::fixture
