// Threads on POSIX threads.
//
// The Thread object owns everything the thread uses (its body and name), so
// a joined or abandoned thread leaves nothing behind on its own stack alone.
// In a process forked from the one that started the thread there is no such
// thread: join() returns at once there, and nothing is waited for.
#include "platform/thread.h"

#include <pthread.h>
#include <sys/prctl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "platform/process.h"

namespace reader::platform {

namespace {

constexpr std::size_t kMaxNameLength = 15;  // the kernel's limit

}  // namespace

struct Thread::Impl {
  std::function<void()> body;
  std::string name;
  std::uint64_t process = 0;  // the process that started the thread
  pthread_t handle{};
  std::mutex joinMutex;  // concurrent join() calls from two threads
  bool joinable = false;
  std::atomic<bool> finished{false};

  std::mutex startMutex;
  std::condition_variable startChanged;
  bool started = false;

  bool ours() const { return process == currentProcessId(); }
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Thread> Thread::start(std::function<void()> body, const char *name) {
  if (!body || takeInjectedThreadStartFailure()) return nullptr;
  // An exception escaping the body ends that thread quietly instead of
  // terminating the host process: no exception crosses a library boundary.
  auto entry = [](void *argument) -> void * {
    Impl &impl = *static_cast<Impl *>(argument);
    // The library's threads time the devices' fixed pauses; the kernel's
    // default 50 us of slack per sleep would add up over a scan cycle.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (!impl.name.empty()) pthread_setname_np(pthread_self(), impl.name.c_str());
    {
      std::lock_guard lock(impl.startMutex);
      impl.started = true;
    }
    impl.startChanged.notify_all();
    try {
      impl.body();
    } catch (...) {
    }
    impl.finished = true;
    return nullptr;
  };
  try {
    std::unique_ptr<Thread> thread(new Thread());
    Impl &impl = *thread->impl_;
    impl.body = std::move(body);
    if (name != nullptr) impl.name = std::string(name).substr(0, kMaxNameLength);
    impl.process = currentProcessId();
    if (pthread_create(&impl.handle, nullptr, entry, &impl) != 0) return nullptr;
    impl.joinable = true;
    std::unique_lock lock(impl.startMutex);
    impl.startChanged.wait(lock, [&impl] { return impl.started; });
    return thread;
  } catch (...) {  // std::bad_alloc
    return nullptr;
  }
}

void Thread::join() {
  std::lock_guard lock(impl_->joinMutex);
  Impl &impl = *impl_;
  if (!impl.joinable) return;
  if (!impl.ours()) {
    impl.joinable = false;  // the parent's thread: nothing here to wait for
    return;
  }
  // Joining itself would deadlock; the contract forbids it, and it is
  // ignored here rather than hanging the host.
  if (pthread_equal(impl.handle, pthread_self())) return;
  pthread_join(impl.handle, nullptr);
  impl.joinable = false;
}

bool Thread::finished() const { return impl_->finished || !impl_->ours(); }

Thread::~Thread() {
  join();
  // Still joinable only when the body destroys its own Thread object, a
  // caller error: the thread is on its way out and keeps what it uses.
  if (impl_->joinable) {
    pthread_detach(impl_->handle);
    static_cast<void>(impl_.release());
  }
}

}  // namespace reader::platform
