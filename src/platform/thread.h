// Threads.
//
// Required of every backend. A Thread runs its body at once on a new system
// thread with the default stack size. Destroying a Thread object joins it:
// the library never leaves a thread running behind its back.
#pragma once

#include <functional>
#include <memory>

namespace reader::platform {

class Thread {
 public:
  // Starts `body` on a new thread; nullptr when the thread cannot be created.
  static std::unique_ptr<Thread> start(std::function<void()> body);

  ~Thread();
  Thread(const Thread &) = delete;
  Thread &operator=(const Thread &) = delete;

  // Waits until the body has returned. Must not be called from the thread
  // itself. Idempotent.
  void join();

 private:
  Thread();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reader::platform
