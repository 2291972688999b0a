// Registered window messages and hidden message windows on POSIX.
//
// One process-wide WindowSystem (see process_state.h for its lifetime) under
// one mutex holds:
//  - the registered message names (ids 0xC000 upwards, process lifetime) and
//    the registered classes; both are matched without regard to ASCII case,
//    as Windows matches them, and the first spelling of a message name is the
//    one windowMessageName and the broadcast listener see;
//  - the windows (handles from 0x10000 up, never reused, never 0 or
//    kBroadcastWindow); a thread's windows are destroyed when it ends, as on
//    Windows, through a pthread key whose destructor runs at thread exit
//    (a key, unlike a thread_local with a destructor, does not pin the module;
//    it is deleted at teardown so no exiting thread calls into an unloaded
//    module);
//  - one ThreadQueue per thread that has created a window, holding that
//    thread's posted messages (at most 10000, as on Windows; a post to a full
//    queue fails) and the messages sent to it from other threads.
// Threads are told apart by a serial number kept in a trivially destructible
// thread_local, so a new thread never inherits the windows of an ended one
// (pthread ids may be reused).
//
// No procedure or listener is ever called with the mutex held, so procedures
// may post, send and dispatch freely.
//
// A thread blocked in sendMessage that owns windows itself still runs the
// messages other threads send to it while it waits (as Windows does), so two
// threads sending to each other do not deadlock. It does not dispatch its
// posted messages meanwhile.
#include "platform/window_messages.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/posix/host_listeners.h"
#include "platform/posix/process_state.h"
#include "platform/posix/window_dispatch.h"

namespace reader::platform {
namespace {

constexpr std::uint32_t kFirstMessage = 0xC000;
constexpr std::size_t kMessageCapacity = 0x10000 - kFirstMessage;
constexpr std::size_t kMaxPostedPerThread = 10000;
constexpr WindowHandle kFirstWindow = 0x10000;

using ThreadSerial = std::uint64_t;

std::atomic<ThreadSerial> gNextThreadSerial{1};
thread_local ThreadSerial tThreadSerial = 0;  // 0: not assigned yet

ThreadSerial currentThread() {
  if (tThreadSerial == 0) tThreadSerial = gNextThreadSerial.fetch_add(1);
  return tThreadSerial;
}

std::string foldCase(const char *name) {
  std::string folded(name);
  for (char &c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

struct Message {
  WindowHandle window;
  WindowProcedure procedure;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;

  std::intptr_t run() const { return procedure(window, message, wParam, lParam); }
};

// A message sent from another thread. Shared by the sender and the owner, so
// a sender released by shutdownWindows may return while the owner is still
// running the procedure.
struct SentMessage {
  Message message;
  std::intptr_t result = 0;
  bool done = false;
  std::condition_variable *wake = nullptr;  // the sender waits on this
  std::condition_variable ownWake;          // wake, for a sender without windows
};

struct ThreadQueue {
  std::deque<Message> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  // The owner thread waits on this: a message arrived, a reply to its own
  // send arrived, or the windows were shut down.
  std::condition_variable changed;
};

struct Window {
  WindowProcedure procedure;
  ThreadSerial owner;
  ThreadQueue *queue;
};

void retireWindowsOfEndingThread(void *serial);

struct WindowSystem {
  WindowSystem() { ownerKeyValid = pthread_key_create(&ownerKey, retireWindowsOfEndingThread) == 0; }
  ~WindowSystem() {
    if (ownerKeyValid) pthread_key_delete(ownerKey);
  }
  WindowSystem(const WindowSystem &) = delete;
  WindowSystem &operator=(const WindowSystem &) = delete;

  pthread_key_t ownerKey{};
  bool ownerKeyValid = false;
  std::mutex mutex;
  std::deque<std::string> messageNames;                       // index: id - kFirstMessage; never moved
  std::unordered_map<std::string, std::uint32_t> messageIds;  // by folded name
  std::unordered_map<std::string, WindowProcedure> classes;   // by folded name
  std::map<WindowHandle, Window> windows;
  std::unordered_map<ThreadSerial, std::unique_ptr<ThreadQueue>> queues;
  std::unordered_set<SentMessage *> pendingSends;  // senders still waiting
  std::condition_variable shutdownSignal;          // dispatchers that own no window
  WindowHandle nextWindow = kFirstWindow;
  bool shutDown = false;
};

READER_PROCESS_STATE posix::ProcessState<WindowSystem> gWindowSystem;

ThreadQueue *queueOf(WindowSystem &system, ThreadSerial thread) {
  auto found = system.queues.find(thread);
  return found == system.queues.end() ? nullptr : found->second.get();
}

// Mutex held. Gives the sender its result, once.
void complete(SentMessage &sent, std::intptr_t result) {
  if (sent.done) return;
  sent.result = result;
  sent.done = true;
  sent.wake->notify_all();
}

// A thread that owned windows has ended: its windows go, posts to them fail
// from now on, and whoever is waiting for it to handle a sent message gets 0.
void retireWindowsOfEndingThread(void *serial) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return;
  const auto owner = static_cast<ThreadSerial>(reinterpret_cast<std::uintptr_t>(serial));
  std::lock_guard lock(system->mutex);
  std::erase_if(system->windows, [owner](const auto &entry) { return entry.second.owner == owner; });
  auto found = system->queues.find(owner);
  if (found == system->queues.end()) return;
  for (const std::shared_ptr<SentMessage> &sent : found->second->sent) complete(*sent, 0);
  system->queues.erase(found);
}

// Mutex held on entry and on return; released while the procedure runs.
void runSent(std::unique_lock<std::mutex> &lock, ThreadQueue &queue) {
  std::shared_ptr<SentMessage> sent = std::move(queue.sent.front());
  queue.sent.pop_front();
  lock.unlock();
  std::intptr_t result = sent->message.run();
  lock.lock();
  complete(*sent, result);
}

// Mutex held. false when the queue is full.
bool enqueuePosted(ThreadQueue &queue, const Message &message) {
  if (queue.posted.size() >= kMaxPostedPerThread) return false;
  queue.posted.push_back(message);
  queue.changed.notify_all();
  return true;
}

bool broadcast(WindowSystem &system, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  const char *name = nullptr;
  {
    std::lock_guard lock(system.mutex);
    if (system.shutDown) return false;
    for (const auto &[handle, window] : system.windows) {
      enqueuePosted(*window.queue, Message{handle, window.procedure, message, wParam, lParam});
    }
    std::size_t index = message - kFirstMessage;
    if (message >= kFirstMessage && index < system.messageNames.size()) {
      name = system.messageNames[index].c_str();  // stable until teardown
    }
  }
  // Only registered messages have a name to give the listener.
  if (name != nullptr) {
    posix::emitBroadcast(name, static_cast<long>(wParam), static_cast<long>(lParam));
  }
  return true;
}

}  // namespace

std::uint32_t registerWindowMessage(const char *name) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr || name == nullptr || *name == '\0') return 0;
  try {
    std::string key = foldCase(name);
    std::lock_guard lock(system->mutex);
    auto found = system->messageIds.find(key);
    if (found != system->messageIds.end()) return found->second;
    if (system->messageNames.size() >= kMessageCapacity) return 0;
    auto id = static_cast<std::uint32_t>(kFirstMessage + system->messageNames.size());
    system->messageNames.emplace_back(name);
    try {
      system->messageIds.emplace(std::move(key), id);
    } catch (...) {
      system->messageNames.pop_back();
      throw;
    }
    return id;
  } catch (...) {  // std::bad_alloc
    return 0;
  }
}

const char *windowMessageName(std::uint32_t message) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr || message < kFirstMessage) return nullptr;
  std::lock_guard lock(system->mutex);
  std::size_t index = message - kFirstMessage;
  return index < system->messageNames.size() ? system->messageNames[index].c_str() : nullptr;
}

bool registerWindowClass(const char *className, WindowProcedure procedure) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr || className == nullptr || *className == '\0' || procedure == nullptr) {
    return false;
  }
  try {
    std::string key = foldCase(className);
    std::lock_guard lock(system->mutex);
    return system->classes.emplace(std::move(key), procedure).second;
  } catch (...) {
    return false;
  }
}

WindowHandle createWindow(const char *className) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr || className == nullptr) return 0;
  try {
    std::string key = foldCase(className);
    ThreadSerial owner = currentThread();
    std::lock_guard lock(system->mutex);
    if (system->shutDown) return 0;
    auto found = system->classes.find(key);
    if (found == system->classes.end()) return 0;
    std::unique_ptr<ThreadQueue> &queue = system->queues[owner];
    if (!queue) {
      queue = std::make_unique<ThreadQueue>();
      if (system->ownerKeyValid)
        pthread_setspecific(system->ownerKey, reinterpret_cast<void *>(static_cast<std::uintptr_t>(owner)));
    }
    WindowHandle handle = system->nextWindow;
    system->windows.emplace(handle, Window{found->second, owner, queue.get()});
    ++system->nextWindow;
    return handle;
  } catch (...) {
    return 0;
  }
}

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return false;
  try {
    if (window == kBroadcastWindow) return broadcast(*system, message, wParam, lParam);
    std::lock_guard lock(system->mutex);
    if (system->shutDown) return false;
    auto found = system->windows.find(window);
    if (found == system->windows.end()) return false;
    return enqueuePosted(*found->second.queue, Message{window, found->second.procedure, message, wParam, lParam});
  } catch (...) {
    return false;
  }
}

// How often a sender that may abandon its wait asks whether to.
constexpr std::chrono::milliseconds kAbandonLook{10};

// Sending to kBroadcastWindow is not supported (the library never does): 0.
std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                          const std::function<bool()> &abandon) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return 0;
  ThreadSerial me = currentThread();
  std::unique_lock lock(system->mutex);
  if (system->shutDown) return 0;
  auto found = system->windows.find(window);
  if (found == system->windows.end()) return 0;
  const Window &target = found->second;
  Message call{window, target.procedure, message, wParam, lParam};
  if (target.owner == me) {
    lock.unlock();
    return call.run();
  }

  ThreadQueue *own = queueOf(*system, me);
  ThreadQueue *targetQueue = target.queue;
  std::shared_ptr<SentMessage> sent;
  try {
    sent = std::make_shared<SentMessage>();
    sent->message = call;
    sent->wake = own != nullptr ? &own->changed : &sent->ownWake;
    system->pendingSends.insert(sent.get());
    try {
      targetQueue->sent.push_back(sent);
    } catch (...) {
      system->pendingSends.erase(sent.get());
      throw;
    }
  } catch (...) {
    return 0;
  }
  targetQueue->changed.notify_all();

  while (!sent->done) {
    if (own != nullptr && !own->sent.empty()) {
      runSent(lock, *own);
      continue;
    }
    if (!abandon) {
      sent->wake->wait(lock);
      continue;
    }
    sent->wake->wait_for(lock, kAbandonLook);
    if (sent->done || !abandon()) continue;
    // Not done, so the owner's queue still exists (an ending owner completes
    // every send first). Still queued: taken back. Running: waited for.
    auto queued = std::find(targetQueue->sent.begin(), targetQueue->sent.end(), sent);
    if (queued != targetQueue->sent.end()) {
      targetQueue->sent.erase(queued);
      complete(*sent, 0);
    }
  }
  system->pendingSends.erase(sent.get());
  return sent->result;
}

std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  return sendMessage(window, message, wParam, lParam, std::function<bool()>());
}

bool isWindow(WindowHandle window) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return false;
  std::lock_guard lock(system->mutex);
  return system->windows.count(window) != 0;
}

std::intptr_t defaultWindowProcedure(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

void shutdownWindows() {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return;
  std::lock_guard lock(system->mutex);
  system->shutDown = true;
  for (auto &[thread, queue] : system->queues) {
    queue->posted.clear();
    queue->sent.clear();
  }
  for (SentMessage *sent : system->pendingSends) complete(*sent, 0);
  for (auto &[thread, queue] : system->queues) queue->changed.notify_all();
  system->shutdownSignal.notify_all();
}

namespace posix {

int dispatchWindowMessages(int timeoutMs) {
  WindowSystem *system = gWindowSystem.get();
  if (system == nullptr) return 0;
  ThreadSerial me = currentThread();
  std::unique_lock lock(system->mutex);
  if (system->shutDown) return 0;
  ThreadQueue *queue = queueOf(*system, me);

  auto ready = [&] {
    return system->shutDown || (queue != nullptr && (!queue->posted.empty() || !queue->sent.empty()));
  };
  std::condition_variable &signal = queue != nullptr ? queue->changed : system->shutdownSignal;
  if (timeoutMs < 0) {
    signal.wait(lock, ready);
  } else if (timeoutMs > 0) {
    signal.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs), ready);
  }
  if (system->shutDown || queue == nullptr) return 0;

  int dispatched = 0;
  std::size_t postedBudget = queue->posted.size();
  for (;;) {
    if (!queue->sent.empty()) {
      runSent(lock, *queue);
    } else if (postedBudget > 0 && !queue->posted.empty()) {
      Message message = queue->posted.front();
      queue->posted.pop_front();
      --postedBudget;
      lock.unlock();
      message.run();
      lock.lock();
    } else {
      break;
    }
    ++dispatched;
  }
  return dispatched;
}

}  // namespace posix
}  // namespace reader::platform
