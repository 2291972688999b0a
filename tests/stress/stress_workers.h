// What the stress tests share: worker threads that repeat a step until
// told to stop, with a hang guard, and the record of results that a call
// may not give.
#pragma once

#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_terminal.h"

namespace stress_testing {

// How long a stress run lasts: STRESS_SECONDS, default 30.
inline long stressSeconds() {
  const char *value = std::getenv("STRESS_SECONDS");
  const long seconds = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
  return seconds > 0 ? seconds : 30;
}

// Results that a call may not give; the first few are kept for the report.
class Violations {
 public:
  void add(const std::string &what) {
    std::lock_guard lock(mutex_);
    if (count_++ < 20) first_.push_back(what);
  }
  long count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }
  std::string text() const {
    std::lock_guard lock(mutex_);
    std::string out;
    for (const std::string &line : first_) out += line + "\n";
    return out;
  }

 private:
  mutable std::mutex mutex_;
  long count_ = 0;
  std::vector<std::string> first_;
};

// Worker threads that run a step until told to stop, each counting its
// steps, and a guard that ends the process when one stops making progress.
class Workers {
 public:
  void start(const char *name, std::function<void()> step) {
    auto &slot = slots_.emplace_back(std::make_unique<Slot>());
    slot->name = name;
    Slot *s = slot.get();
    s->thread = std::thread([this, s, step = std::move(step)] {
      while (!stop_) {
        step();
        ++s->steps;
      }
      std::lock_guard lock(mutex_);
      s->done = true;
      doneChanged_.notify_all();
    });
  }
  // Stops the workers and joins them; a worker still busy after `guard`
  // is reported and the process ends, as no join could return.
  void stopAndJoin(std::chrono::seconds guard) {
    stop_ = true;
    std::unique_lock lock(mutex_);
    const bool allDone = doneChanged_.wait_for(lock, guard, [this] {
      for (const auto &slot : slots_)
        if (!slot->done) return false;
      return true;
    });
    lock.unlock();
    if (!allDone) {
      for (const auto &slot : slots_)
        if (!slot->done) std::fprintf(stderr, "STRESS hang: worker '%s' did not return\n", slot->name);
      std::fflush(stderr);
      std::abort();
    }
    for (auto &slot : slots_) slot->thread.join();
  }
  std::string steps() const {
    std::string out;
    for (const auto &slot : slots_) out += std::string(slot->name) + "=" + std::to_string(slot->steps.load()) + " ";
    return out;
  }

 private:
  struct Slot {
    const char *name = "";
    std::thread thread;
    std::atomic<long> steps{0};
    bool done = false;
  };
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable doneChanged_;
  std::vector<std::unique_ptr<Slot>> slots_;
};

// A stress run over one terminal set-up: a clean environment before, and
// after it the reader halted and the broadcast listener gone, whatever failed.
template <class Terminal>
class StressFixture : public ::testing::TestWithParam<Terminal> {
 protected:
  void SetUp() override { testing_support::clearReaderEnvironment(); }
  void TearDown() override {
    HaltReader(READER_DEVICE_ALL);
    ReaderHostSetBroadcastListener(nullptr, nullptr);
  }
};

}  // namespace stress_testing
