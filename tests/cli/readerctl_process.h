// readerctl run as a process of its own, beside the test process: what it
// writes, how it ends, and what it does with a standard output that goes
// away or a standard error that is a terminal.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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

struct OutputRun {
  bool finished = false;   // false: killed when the patience ran out
  bool signalled = false;  // ended by a signal (SIGPIPE, say)
  int status = -1;         // exit status when not signalled
  std::string out;         // what was read before the output was closed
  std::string err;         // standard error, or what the terminal showed
};

struct OutputPlan {
  // Standard output is a pipe whose reading end this process closes once
  // it has read this many lines; 0: closed before readerctl starts.
  // nullopt: read to the end.
  std::optional<std::size_t> closeAfterLines;
  // Standard error is a pseudo-terminal instead of a pipe.
  bool errorOnTerminal = false;
};

// READERCTL_PATH ARGS with this process's environment, as `plan` says.
inline OutputRun runReaderctlOutput(std::vector<std::string> args, OutputPlan plan) {
  args.insert(args.begin(), READERCTL_PATH);
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int outPipe[2];
  if (::pipe(outPipe) != 0) return {};
  int errRead = -1, errWrite = -1;
  std::string terminalPath;
  if (plan.errorOnTerminal) {
    errRead = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (errRead < 0 || ::grantpt(errRead) != 0 || ::unlockpt(errRead) != 0) return {};
    terminalPath = ::ptsname(errRead);
  } else {
    int errPipe[2];
    if (::pipe(errPipe) != 0) return {};
    errRead = errPipe[0];
    errWrite = errPipe[1];
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = plan.errorOnTerminal ? ::open(terminalPath.c_str(), O_RDWR | O_NOCTTY) : errWrite;
    ::dup2(outPipe[1], 1);
    ::dup2(err, 2);
    for (const int fd : {outPipe[0], outPipe[1], errRead, err}) {
      if (fd > 2) ::close(fd);
    }
    ::execve(READERCTL_PATH, argv.data(), environ);
    ::_exit(127);
  }
  ::close(outPipe[1]);
  if (errWrite >= 0) ::close(errWrite);
  int outRead = outPipe[0];
  auto closeOutput = [&] {
    ::close(outRead);
    outRead = -1;
  };
  if (plan.closeAfterLines == std::size_t{0}) closeOutput();
  OutputRun run;
  const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
  // Until standard error ends: a pipe reads its end, a terminal fails (EIO)
  // once the last process that had it open is gone.
  while (errRead >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entries[2] = {{errRead, POLLIN, 0}, {outRead, POLLIN, 0}};
    if (left.count() <= 0 || ::poll(entries, outRead >= 0 ? 2 : 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    if (entries[0].revents != 0) {
      const ssize_t n = ::read(errRead, buffer, sizeof buffer);
      if (n <= 0) {
        run.finished = true;
        ::close(errRead);
        errRead = -1;
      } else {
        run.err.append(buffer, static_cast<std::size_t>(n));
      }
    }
    if (outRead >= 0 && entries[1].revents != 0) {
      const ssize_t n = ::read(outRead, buffer, sizeof buffer);
      if (n > 0) run.out.append(buffer, static_cast<std::size_t>(n));
      const auto lines = static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n'));
      if (n <= 0 || (plan.closeAfterLines && lines >= *plan.closeAfterLines)) closeOutput();
    }
  }
  if (errRead >= 0) ::close(errRead);
  if (!run.finished) ::kill(child, SIGKILL);
  // What is left of an output read to the end: the writer is gone.
  if (run.finished && !plan.closeAfterLines && outRead >= 0) {
    char rest[512];
    for (ssize_t n; (n = ::read(outRead, rest, sizeof rest)) > 0;) run.out.append(rest, static_cast<std::size_t>(n));
  }
  if (outRead >= 0) ::close(outRead);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child) {
    run.signalled = WIFSIGNALED(status);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  }
  return run;
}

}  // namespace cli_testing
