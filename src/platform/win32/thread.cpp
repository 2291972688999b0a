// Threads on Windows.
//
// The library joins its threads when the DLL is unloaded, and that happens
// inside the loader's lock: a thread cannot end while the lock is held (its
// exit notifies every module under the same lock). So a join waits for the
// body to have returned, which the thread signals as its last act, and for
// the thread's end only as long as that is quick. What the thread still runs
// of the DLL's code after the signal is a return into ExitThread.
// At process end the system has ended the thread already; its handle is
// signalled then, which also ends the wait.
#include "platform/thread.h"

#include <process.h>
#include <windows.h>

#include <mutex>
#include <utility>

#include "platform/win32/this_module.h"

namespace reader::platform {
namespace {

constexpr DWORD kExitGraceMs = 20;

struct Start {
  std::function<void()> body;
  HANDLE bodyReturned;
};

// An exception escaping the body ends that thread quietly instead of
// terminating the host process: no exception crosses a library boundary.
unsigned __stdcall threadEntry(void *argument) {
  Start *start = static_cast<Start *>(argument);
  try {
    start->body();
  } catch (...) {
  }
  const HANDLE bodyReturned = start->bodyReturned;
  delete start;
  SetEvent(bodyReturned);
  return 0;
}

}  // namespace

struct Thread::Impl {
  std::mutex joinMutex;  // concurrent join() calls from two threads
  HANDLE thread = nullptr;
  HANDLE bodyReturned = nullptr;
  DWORD id = 0;
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Thread> Thread::start(std::function<void()> body) {
  if (!body) return nullptr;
  try {
    std::unique_ptr<Thread> thread(new Thread());
    Impl &impl = *thread->impl_;
    impl.bodyReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (impl.bodyReturned == nullptr) return nullptr;
    auto *start = new Start{std::move(body), impl.bodyReturned};
    unsigned id = 0;
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, threadEntry, start, 0, &id);
    if (handle == 0) {
      delete start;
      return nullptr;  // the destructor closes the event
    }
    impl.thread = reinterpret_cast<HANDLE>(handle);
    impl.id = id;
    return thread;
  } catch (...) {  // std::bad_alloc
    return nullptr;
  }
}

void Thread::join() {
  std::lock_guard lock(impl_->joinMutex);
  Impl &impl = *impl_;
  if (impl.thread == nullptr) return;
  // Joining itself would deadlock; the contract forbids it, and it is
  // ignored here rather than hanging the host.
  if (impl.id == GetCurrentThreadId()) return;
  if (!win32::processEnding()) {
    const HANDLE either[2] = {impl.bodyReturned, impl.thread};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
    WaitForSingleObject(impl.thread, kExitGraceMs);
  }
  CloseHandle(impl.thread);
  CloseHandle(impl.bodyReturned);
  impl.thread = nullptr;
  impl.bodyReturned = nullptr;
}

Thread::~Thread() {
  join();
  if (impl_->bodyReturned != nullptr) CloseHandle(impl_->bodyReturned);
  // Still open only when the body destroys its own Thread object, a caller
  // error: the thread goes on to its end unattended.
  if (impl_->thread != nullptr) CloseHandle(impl_->thread);
}

}  // namespace reader::platform
