// Helpers for the platform tests: pseudo-terminals, time measurement, and
// waiting (without fixed sleeps) until another thread is blocked.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace platform_test {

using Clock = std::chrono::steady_clock;

// Milliseconds since `start` (fractional).
inline double elapsedMs(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A hang guard, not a performance assertion: far above any expected time.
inline constexpr double kPromptMs = 2000.0;

// A pseudo-terminal pair; the slave's path is what READER_COM<n> names.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char *name = ptsname(master_);
    if (name != nullptr) slavePath_ = name;
    // The master sees raw bytes; keep it non-blocking for writes too.
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { closeMaster(); }
  Pty(const Pty &) = delete;
  Pty &operator=(const Pty &) = delete;

  bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
  int master() const { return master_; }
  const std::string &slavePath() const { return slavePath_; }

  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool send(const std::string &bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads exactly `count` bytes from the master, waiting up to timeoutMs.
  std::string receive(std::size_t count, int timeoutMs = 2000) {
    std::string out;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && Clock::now() < deadline) {
      pollfd fd{master_, POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t got = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (got > 0) out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
  }

  // Drains whatever the master has to read, without waiting.
  std::size_t drain() {
    std::size_t total = 0;
    char buffer[4096];
    for (;;) {
      ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) return total;
      total += static_cast<std::size_t>(got);
    }
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Sets an environment variable for the scope (restores the old value).
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    if (const char *old = std::getenv(name)) {
      hadOld_ = true;
      old_ = old;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadOld_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  std::string name_;
  std::string old_;
  bool hadOld_ = false;
};

// The scheduler state letter of thread `tid` of this process ('S' sleeping in
// a blocking call, 'R' running...), or 0 when unknown.
inline char threadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  auto close = text.rfind(')');
  if (close == std::string::npos || close + 2 >= text.size()) return 0;
  return text[close + 2];
}

// Waits until thread `tid` sleeps in the kernel (blocked in poll, a futex...)
// for several consecutive looks, or the hang guard passes. true when seen.
inline bool waitUntilBlocked(pid_t tid, int guardMs = 2000) {
  auto deadline = Clock::now() + std::chrono::milliseconds(guardMs);
  int sleepingLooks = 0;
  while (Clock::now() < deadline) {
    if (threadState(tid) == 'S') {
      if (++sleepingLooks >= 3) return true;
    } else {
      sleepingLooks = 0;
    }
    std::this_thread::yield();
  }
  return false;
}

}  // namespace platform_test
