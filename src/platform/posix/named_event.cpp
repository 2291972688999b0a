// Named auto-reset events: a process-wide registry of reference-counted
// events, keyed by the exact (case-sensitive) name, as Windows keys kernel
// objects.
//
// Closing the last NamedEvent of a name while another thread waits on it in
// waitNamedEvent: the waiter holds its own reference to the event's state, so
// nothing is freed under it; it wakes at once and returns Failed with
// `exists` false (ReaderHostWaitEvent: -1), unless a signal was already
// pending, which it still takes.
#include "platform/named_event.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "platform/posix/process_state.h"

namespace reader::platform {
namespace {

struct EventState {
  std::condition_variable changed;  // signalled or closed
  bool signaled = false;
  bool closed = false;
  int openCount = 0;  // NamedEvent objects for this state
};

struct EventRegistry {
  std::mutex mutex;  // guards the map and every EventState
  std::map<std::string, std::shared_ptr<EventState>, std::less<>> events;
};

READER_PROCESS_STATE posix::ProcessState<EventRegistry> gRegistry;

}  // namespace

struct NamedEvent::Impl {
  std::string name;
  std::shared_ptr<EventState> state;
};

NamedEvent::NamedEvent() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<NamedEvent> NamedEvent::create(const char *name) {
  EventRegistry *registry = gRegistry.get();
  if (registry == nullptr || name == nullptr || *name == '\0') return nullptr;
  try {
    std::unique_ptr<NamedEvent> event(new NamedEvent());
    event->impl_->name = name;
    auto fresh = std::make_shared<EventState>();  // allocated before any change
    std::lock_guard lock(registry->mutex);
    auto entry = registry->events.try_emplace(event->impl_->name, std::move(fresh)).first;
    ++entry->second->openCount;
    event->impl_->state = entry->second;
    return event;
  } catch (...) {  // std::bad_alloc
    return nullptr;
  }
}

NamedEvent::~NamedEvent() {
  EventRegistry *registry = gRegistry.get();
  if (registry == nullptr) return;  // after teardown: nothing left to update
  std::lock_guard lock(registry->mutex);
  EventState &state = *impl_->state;
  if (--state.openCount > 0) return;
  state.closed = true;
  state.changed.notify_all();
  auto found = registry->events.find(impl_->name);
  if (found != registry->events.end() && found->second == impl_->state) {
    registry->events.erase(found);
  }
}

bool NamedEvent::set() {
  EventRegistry *registry = gRegistry.get();
  if (registry == nullptr) return false;
  std::lock_guard lock(registry->mutex);
  impl_->state->signaled = true;
  impl_->state->changed.notify_all();
  return true;
}

WaitResult waitNamedEvent(const char *name, std::uint32_t timeoutMs, bool &exists) {
  exists = false;
  EventRegistry *registry = gRegistry.get();
  if (registry == nullptr || name == nullptr) return WaitResult::Failed;
  std::unique_lock lock(registry->mutex);
  auto found = registry->events.find(std::string_view(name));
  if (found == registry->events.end()) return WaitResult::Failed;
  std::shared_ptr<EventState> state = found->second;  // our reference while waiting
  exists = true;

  auto settled = [&] { return state->signaled || state->closed; };
  if (timeoutMs == kWaitForever) {
    state->changed.wait(lock, settled);
  } else if (!state->changed.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs),
                                        settled)) {
    return WaitResult::TimedOut;
  }
  if (state->signaled) {
    state->signaled = false;  // auto-reset: this waiter takes the signal
    return WaitResult::Signaled;
  }
  exists = false;  // closed during the wait
  return WaitResult::Failed;
}

}  // namespace reader::platform
