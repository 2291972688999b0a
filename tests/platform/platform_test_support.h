// Helpers for the platform tests: pseudo-terminals, environment variables,
// and a call run on its own thread that the test waits (without fixed sleeps)
// to see blocked in the kernel.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "support/scoped_env.h"

namespace platform_test {

using Clock = std::chrono::steady_clock;

inline double elapsedMs(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A hang guard, not a performance assertion: far above any expected time.
inline constexpr double kPromptMs = 2000.0;

// A pseudo-terminal pair; the slave's path is what READER_COM<n> names.
class Pty {
 public:
  Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
    const char *name = master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 ? ptsname(master_) : nullptr;
    if (name != nullptr) slavePath_ = name;
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
  // Reads `count` bytes from the master, or what came within the hang guard.
  std::string receive(std::size_t count) {
    std::string out;
    char buffer[256];
    pollfd fd{master_, POLLIN, 0};
    while (out.size() < count && ::poll(&fd, 1, static_cast<int>(kPromptMs)) > 0) {
      ssize_t got = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (got <= 0) break;
      out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
  }

 private:
  int master_;
  std::string slavePath_;
};

using testing_support::ScopedEnv;

// Runs `call` on its own thread. blocked() waits until that thread sleeps in
// the kernel (poll, a futex...) for several looks in a row; finish() joins
// and gives how long the call took.
class BlockingCall {
 public:
  explicit BlockingCall(std::function<void()> call)
      : thread_([this, call = std::move(call)] {
          tid_ = static_cast<pid_t>(::syscall(SYS_gettid));
          auto start = Clock::now();
          call();
          elapsedMs_ = elapsedMs(start);
        }) {}
  ~BlockingCall() {
    if (thread_.joinable()) thread_.join();
  }

  bool blocked() const {
    auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<int>(kPromptMs));
    int sleepingLooks = 0;
    while (Clock::now() < deadline && sleepingLooks < 3) {
      pid_t tid = tid_;
      sleepingLooks = tid != 0 && state(tid) == 'S' ? sleepingLooks + 1 : 0;
      std::this_thread::yield();
    }
    return sleepingLooks >= 3;
  }
  double finish() {
    thread_.join();
    return elapsedMs_;
  }

 private:
  static char state(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? 0 : text[close + 2];
  }

  std::atomic<pid_t> tid_{0};
  double elapsedMs_ = 0;
  std::thread thread_;
};

}  // namespace platform_test
