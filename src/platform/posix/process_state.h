// Process-wide state of the POSIX backend, and when it lives.
//
// Private to the backend. Every stateful service (window messages, named
// events, host listeners) keeps its state in one heap object reached through
// a ProcessState<T>, declared at namespace scope with READER_PROCESS_STATE:
//
//   READER_PROCESS_STATE ProcessState<WindowSystem> gWindowSystem;
//
// Lifetime and order of destruction:
//  - READER_PROCESS_STATE is init_priority(101): these owners are constructed
//    before any static object of default priority in the module (the core's
//    ReaderDevice, its strings, gtest's objects...). Static destructors run
//    in the reverse order of construction, so the platform state is destroyed
//    after every default-priority static of the library, at exit or when the
//    module is unloaded with dlclose. The core's static teardown (closing
//    ports, switching the vibrator off through the output listener, closing
//    named events) therefore still finds the platform state alive.
//  - The state is allocated when the owner is constructed and freed when it
//    is destroyed, so LeakSanitizer sees nothing left behind, also after a
//    dlclose that unmaps the module.
//  - After destruction get() returns nullptr and every service then fails
//    gracefully (0, false, nullptr) instead of touching freed memory. A call
//    that is still running in another thread at that moment is a caller
//    error: the library joins its own threads and calls shutdownWindows
//    before its static teardown.
//  - In a process forked from the one that made it, the state is never
//    destroyed: the parent's threads may have been waiting on its condition
//    variables at the fork, and destroying a condition variable waits for
//    waiters that this process does not have. It stays allocated (and
//    reachable) until the process ends.
//  - No thread_local with a destructor is used anywhere in the backend (only
//    trivially destructible thread_local integers), so no thread keeps the
//    module pinned or runs backend code after unload.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/process.h"

#define READER_PROCESS_STATE __attribute__((init_priority(101)))

namespace reader::platform::posix {

template <class T>
class ProcessState {
 public:
  ProcessState() : state_(new T), maker_(currentProcessId()) {}
  ~ProcessState() {
    if (currentProcessId() != maker_) return;
    delete state_.exchange(nullptr, std::memory_order_acq_rel);
  }
  ProcessState(const ProcessState &) = delete;
  ProcessState &operator=(const ProcessState &) = delete;

  // The state, or nullptr after teardown.
  T *get() const noexcept { return state_.load(std::memory_order_acquire); }

 private:
  std::atomic<T *> state_;
  const std::uint64_t maker_;
};

}  // namespace reader::platform::posix
