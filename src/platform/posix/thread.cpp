// Threads on std::thread.
#include "platform/thread.h"

#include <sys/prctl.h>

#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace reader::platform {

struct Thread::Impl {
  std::mutex joinMutex;  // concurrent join() calls from two threads
  std::thread thread;
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

// An exception escaping the body ends that thread quietly instead of
// terminating the host process: no exception crosses a library boundary.
std::unique_ptr<Thread> Thread::start(std::function<void()> body) {
  if (!body) return nullptr;
  try {
    std::unique_ptr<Thread> thread(new Thread());
    thread->impl_->thread = std::thread([body = std::move(body)] {
      // The library's threads time the devices' fixed pauses; the kernel's
      // default 50 us of slack per sleep would add up over a scan cycle.
      prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
      try {
        body();
      } catch (...) {
      }
    });
    return thread;
  } catch (...) {  // std::system_error (no thread), std::bad_alloc
    return nullptr;
  }
}

void Thread::join() {
  std::lock_guard lock(impl_->joinMutex);
  if (!impl_->thread.joinable()) return;
  // Joining itself would deadlock; the contract forbids it, and it is
  // ignored here rather than aborting the host.
  if (impl_->thread.get_id() == std::this_thread::get_id()) return;
  impl_->thread.join();
}

Thread::~Thread() {
  join();
  // Only reached joinable when the body destroys its own Thread object, a
  // caller error: the body is then on its way out, and detaching is the one
  // alternative to std::terminate that std::thread leaves.
  if (impl_->thread.joinable()) impl_->thread.detach();
}

}  // namespace reader::platform
