// readerctl run as a process of its own, beside the test process: what it
// writes on standard error and how it ends.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/test_terminal.h"

extern char **environ;

namespace cli_testing {

struct ProcessRun {
  bool finished = false;  // false: killed when the patience ran out
  int status = -1;        // exit status
  std::string err;
};

// READERCTL_PATH ARGS with this process's environment, standard output
// discarded. With `asUser`, the child takes that user and group id (and no
// other groups) before it starts readerctl; a child that cannot exits 126,
// one that cannot start readerctl 127.
inline ProcessRun runReaderctlProcess(std::vector<std::string> args, std::optional<unsigned> asUser = std::nullopt) {
  args.insert(args.begin(), READERCTL_PATH);
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int errPipe[2];
  if (::pipe(errPipe) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, 1);
    ::dup2(errPipe[1], 2);
    ::close(errPipe[0]);
    if (asUser) {
      const gid_t group = *asUser;
      if (::setgroups(1, &group) != 0 || ::setgid(group) != 0 || ::setuid(*asUser) != 0) ::_exit(126);
    }
    ::execve(READERCTL_PATH, argv.data(), environ);
    ::_exit(127);
  }
  ::close(errPipe[1]);
  ProcessRun run;
  const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{errPipe[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
    if (n <= 0) {
      run.finished = true;
      break;
    }
    run.err.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(errPipe[0]);
  if (!run.finished) ::kill(child, SIGKILL);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

}  // namespace cli_testing
