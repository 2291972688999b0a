// Threads.
//
// Required of every backend. A Thread runs its body at once on a new system
// thread with the default stack size. Destroying a Thread object joins it:
// the library never leaves a thread running behind its back.
//
// A process forked from the one that started a thread does not have that
// thread: there join() returns at once and finished() is true, so that a
// forked child's teardown never waits for (or touches) its parent's threads.
#pragma once

#include <functional>
#include <memory>

namespace reader::platform {

class Thread {
 public:
  // Starts `body` on a new thread; nullptr when the thread cannot be created.
  // `name` (at most 15 characters, or null) names the thread for debuggers
  // and the system's thread lists. An exception escaping the body ends the
  // thread quietly. Returns once the body has begun to run.
  static std::unique_ptr<Thread> start(std::function<void()> body, const char *name = nullptr);

  ~Thread();
  Thread(const Thread &) = delete;
  Thread &operator=(const Thread &) = delete;

  // Waits until the body has returned. Must not be called from the thread
  // itself. Idempotent.
  void join();

  // True once the body has returned, however it ended.
  bool finished() const;

 private:
  Thread();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// For tests of the library's failure paths: after `skip` more successful
// calls of Thread::start, the next `count` fail as they do when the system
// has no thread to give. Never called by the library itself.
void failNextThreadStarts(int count, int skip = 0);

// Takes one of the failures set by failNextThreadStarts; for the backends.
bool takeInjectedThreadStartFailure();

}  // namespace reader::platform
