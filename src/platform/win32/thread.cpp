// Threads on Windows.
//
// Every new thread passes through the loader's lock before it runs anything
// (the thread-attach notices), and again as it exits (thread-detach). Two
// things follow:
//
// - start() returns once the body has begun: the thread is then past the
//   loader's lock on its way in, so a FreeLibrary that comes next, whose
//   teardown runs inside that lock, can always stop and join it. A thread
//   still waiting for the lock would otherwise hold that join for ever.
//
// - No thread can exit while the teardown at unload holds the lock, so the
//   join cannot wait for the exit there. The thread instead ends its part
//   with one system call that signals "body returned" and parks it in a
//   wait, so it never runs the DLL's code again unless let go: let go (and
//   then waited for until it has exited) outside the unload; ended where it
//   parks by the unload, since its DLL's code is about to be unmapped. A
//   thread parked there holds no lock and no object of the library; ending
//   it needs no loader lock. What other modules keep per thread without
//   being told of its end (the C runtime's few hundred bytes) is left.
//
// At process end the system has ended the thread already: nothing waits.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "platform/win32/this_module.h"
#include "platform/win32/wide_text.h"

namespace reader::platform {
namespace {

constexpr std::size_t kMaxNameLength = 15;  // the same on every platform

// Owned by the thread until its body has returned.
struct Start {
  std::function<void()> body;
  std::wstring name;
  HANDLE started;       // set just before the body runs
  HANDLE bodyReturned;  // set, with the park, as the thread's last act
  HANDLE mayExit;       // lets a parked thread go on to its exit
  std::atomic<bool> *finished;
  std::atomic<bool> abandoned{false};  // the Thread object went first
};

// Names the calling thread. SetThreadDescription is looked up at run time:
// older systems lack it, and then the thread has no name.
void nameThisThread(const std::wstring &name) {
  using SetDescription = HRESULT(WINAPI *)(HANDLE, PCWSTR);
  static const auto setDescription = reinterpret_cast<SetDescription>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (setDescription != nullptr && !name.empty()) setDescription(GetCurrentThread(), name.c_str());
}

// An exception escaping the body ends that thread quietly instead of
// terminating the host process: no exception crosses a library boundary.
unsigned __stdcall threadEntry(void *argument) {
  Start *start = static_cast<Start *>(argument);
  nameThisThread(start->name);
  SetEvent(start->started);
  try {
    start->body();
  } catch (...) {
  }
  if (start->abandoned.load()) {  // nothing of the Thread object is left
    delete start;
    return 0;
  }
  const HANDLE bodyReturned = start->bodyReturned;
  const HANDLE mayExit = start->mayExit;
  start->finished->store(true);
  delete start;
  SignalObjectAndWait(bodyReturned, mayExit, INFINITE, FALSE);
  return 0;
}

void closeIfOpen(HANDLE &handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

struct Thread::Impl {
  std::mutex joinMutex;  // concurrent join() calls from two threads
  HANDLE thread = nullptr;
  HANDLE started = nullptr;
  HANDLE bodyReturned = nullptr;
  HANDLE mayExit = nullptr;
  DWORD id = 0;
  Start *start = nullptr;  // the thread's own, valid while its body runs
  std::atomic<bool> finished{false};

  void closeAll() {
    closeIfOpen(thread);
    closeIfOpen(started);
    closeIfOpen(bodyReturned);
    closeIfOpen(mayExit);
  }
};

Thread::Thread() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Thread> Thread::start(std::function<void()> body, const char *name) {
  if (!body || takeInjectedThreadStartFailure()) return nullptr;
  try {
    std::unique_ptr<Thread> thread(new Thread());
    Impl &impl = *thread->impl_;
    impl.started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    impl.bodyReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    impl.mayExit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (impl.started == nullptr || impl.bodyReturned == nullptr || impl.mayExit == nullptr)
      return nullptr;  // the destructor closes what was made
    auto *start =
        new Start{std::move(body), std::wstring(), impl.started, impl.bodyReturned, impl.mayExit, &impl.finished};
    if (name != nullptr) start->name = win32::widen(std::string(name).substr(0, kMaxNameLength).c_str());
    // Suspended until this object knows it: the body may look at it.
    unsigned id = 0;
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, threadEntry, start, CREATE_SUSPENDED, &id);
    if (handle == 0) {
      delete start;
      return nullptr;
    }
    impl.thread = reinterpret_cast<HANDLE>(handle);
    impl.id = id;
    impl.start = start;
    if (ResumeThread(impl.thread) == static_cast<DWORD>(-1)) {
      TerminateThread(impl.thread, 0);  // it has run nothing yet
      WaitForSingleObject(impl.thread, INFINITE);
      delete start;
      return nullptr;
    }
    // Without limit: the thread gets through the loader's lock unless the
    // caller holds it, and the library starts no thread from DllMain. The
    // thread's end instead (ended by the system) also ends the wait.
    const HANDLE either[2] = {impl.started, impl.thread};
    if (WaitForMultipleObjects(2, either, FALSE, INFINITE) != WAIT_OBJECT_0) impl.finished = true;
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
  // ignored here rather than hanging the host: the thread is let go, and
  // touches nothing of this object after its body.
  if (impl.id == GetCurrentThreadId()) {
    impl.start->abandoned = true;
    impl.closeAll();
    return;
  }
  if (!win32::processEnding()) {
    const HANDLE either[2] = {impl.bodyReturned, impl.thread};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
    if (WaitForSingleObject(impl.thread, 0) == WAIT_TIMEOUT) {
      if (win32::moduleUnloading()) {
        // Parked for good: its exit would need the loader's lock this
        // teardown holds, and its way out runs through the DLL's code.
        TerminateThread(impl.thread, 0);
      } else {
        SetEvent(impl.mayExit);
      }
      // Without limit: a parked thread ends or exits without this
      // thread's help; its exit needs the loader's lock only for a moment,
      // and nothing joins while holding it but the unload above.
      WaitForSingleObject(impl.thread, INFINITE);
    }
  }
  impl.closeAll();
}

bool Thread::finished() const { return impl_->finished.load(); }

Thread::~Thread() {
  join();
  impl_->closeAll();
}

}  // namespace reader::platform
