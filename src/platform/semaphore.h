// Counting semaphores.
//
// Required of every backend. The library uses them with a maximum count of 1:
// any number of releases before the waiter runs counts as one. Safe from any
// thread. Waiters are served in the order they began to wait, and a wait
// without time-out never takes a count that a waiting thread is due: the
// channels' portLock is such a semaphore used as a lock, and must not starve
// a thread that waits for it. Destroying a semaphore that a thread is still waiting on is a
// caller error; the library stops its waiters first.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform_types.h"

namespace reader::platform {

class Semaphore {
 public:
  Semaphore(int initialCount, int maximumCount);
  ~Semaphore();
  Semaphore(const Semaphore &) = delete;
  Semaphore &operator=(const Semaphore &) = delete;

  // Adds one to the count. At the maximum nothing changes and false is
  // returned.
  bool release();

  // Takes one from the count, waiting up to timeoutMs (kWaitForever: no
  // limit, 0: only try) for it to become nonzero.
  WaitResult wait(std::uint32_t timeoutMs);

  // Only in a process forked from the one that used the semaphore: puts it
  // back to `count` with nobody waiting. The waiters it forgets are threads
  // of the parent, which this process does not have; without this they
  // would keep their place in line, and every later wait would hang.
  void resetAfterFork(int count);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reader::platform
