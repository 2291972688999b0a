// Helpers for the trigger-key tests: the trigger messages the broadcast
// listener saw, and the reader's thread as the system lists it.
#pragma once

#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/platform_test_support.h"
#include "support/thread_named.h"

namespace trigger_test {

// The names of the messages posted to every window, in order.
class MessageLog {
 public:
  MessageLog() { ReaderHostSetBroadcastListener(&MessageLog::record, this); }
  ~MessageLog() { ReaderHostSetBroadcastListener(nullptr, nullptr); }
  MessageLog(const MessageLog &) = delete;
  MessageLog &operator=(const MessageLog &) = delete;

  // The messages once there are `count` of them, or what came within the
  // hang guard.
  std::vector<std::string> waitFor(std::size_t count, double guardMs = platform_test::kPromptMs) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::duration<double, std::milli>(guardMs), [&] { return names_.size() >= count; });
    return names_;
  }
  std::vector<std::string> names() {
    std::lock_guard lock(mutex_);
    return names_;
  }

 private:
  static void record(const char *name, long, long, void *context) {
    auto *log = static_cast<MessageLog *>(context);
    std::lock_guard lock(log->mutex_);
    log->names_.push_back(name);
    log->changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> names_;
};

// The system's id of the trigger reader's thread (named "reader-trigger"),
// if it runs.
inline std::optional<int> triggerThreadId() { return testing_support::threadIdNamed("reader-trigger"); }

// Waits until the thread sleeps in the kernel for several looks in a row;
// false when it did not within the hang guard.
inline bool waitUntilAsleep(int tid) {
  auto deadline = platform_test::Clock::now() + std::chrono::milliseconds(static_cast<int>(platform_test::kPromptMs));
  int sleepingLooks = 0;
  while (platform_test::Clock::now() < deadline && sleepingLooks < 3) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text;
    std::getline(stat, text);
    auto close = text.rfind(')');
    bool asleep = close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
    sleepingLooks = asleep ? sleepingLooks + 1 : 0;
    std::this_thread::yield();
  }
  return sleepingLooks >= 3;
}

// How often a thread has given up the processor: voluntary and involuntary
// context switches, from its status file.
inline long contextSwitches(int tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  long total = 0;
  std::string line;
  while (std::getline(status, line)) {
    auto colon = line.find(':');
    if (line.find("ctxt_switches") != std::string::npos && colon != std::string::npos) {
      total += std::stol(line.substr(colon + 1));
    }
  }
  return total;
}

}  // namespace trigger_test
