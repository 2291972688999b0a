// Runs whole readerctl command lines in this process, as main() runs them,
// and what the tests ask of their output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "invocation.h"
#include "support/test_terminal.h"

namespace cli_testing {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// The checked command line readerctl ARGS, as parseInvocation leaves it.
inline std::optional<readerctl::Invocation> parsedInvocation(std::vector<std::string> args, std::ostream &out,
                                                             std::ostream &err, int &status) {
  args.insert(args.begin(), "readerctl");
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return readerctl::parseInvocation(static_cast<int>(args.size()), argv.data(), out, err, status);
}

// readerctl ARGS as main() runs it. A stop signal comes only when the run
// outlasts the tests' patience: a watch that misses what it waits for then
// fails its test instead of hanging it.
inline CliRun readerctl(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = 0;
  const std::optional<readerctl::Invocation> invocation = parsedInvocation(std::move(args), out, err, status);
  if (invocation) {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
      std::unique_lock lock(mutex);
      if (!finished.wait_for(lock, testing_support::kPatience, [&] { return done; })) stop = true;
    });
    status = readerctl::runInvocation(*invocation, out, err, stop);
    {
      std::lock_guard lock(mutex);
      done = true;
    }
    finished.notify_one();
    watchdog.join();
  }
  return {status, out.str(), err.str()};
}

inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

}  // namespace cli_testing
