// A hang guard for calls into the library: a call that has not returned
// long after every time-out it could wait through ends the test process
// with the call's name, instead of leaving the test run to hang.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace fault_matrix {

class CallGuard {
 public:
  // Far beyond the longest legitimate wait (an SSI engine that answers
  // nothing: ten exchanges of a second each at start).
  static constexpr std::chrono::seconds kLimit{120};

  CallGuard() : watcher_([this] { watch(); }) {}
  ~CallGuard() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    watcher_.join();
  }
  CallGuard(const CallGuard &) = delete;
  CallGuard &operator=(const CallGuard &) = delete;

  template <typename Call>
  auto run(const char *name, Call &&call) {
    arm(name);
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    last_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    disarm();
    return result;
  }

  // How long the last call took.
  std::chrono::milliseconds lastDuration() const { return last_; }

 private:
  void arm(const char *name) {
    std::lock_guard lock(mutex_);
    name_ = name;
    deadline_ = std::chrono::steady_clock::now() + kLimit;
    changed_.notify_all();
  }
  void disarm() {
    std::lock_guard lock(mutex_);
    deadline_.reset();
    changed_.notify_all();
  }
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!deadline_) {
        changed_.wait(lock);
      } else if (changed_.wait_until(lock, *deadline_) == std::cv_status::timeout && deadline_ &&
                 std::chrono::steady_clock::now() >= *deadline_) {
        std::fprintf(stderr, "hang: %s has not returned after %lld s\n", name_.c_str(),
                     static_cast<long long>(kLimit.count()));
        std::abort();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string name_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  bool stopping_ = false;
  std::chrono::milliseconds last_{0};
  std::thread watcher_;
};

}  // namespace fault_matrix
