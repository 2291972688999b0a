// The host's listeners: storage, calls and replacement (see host_listeners.h).
#include "platform/posix/host_listeners.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/posix/process_state.h"

namespace reader::platform::posix {
namespace {

// One listener with its context. Calls in progress are counted by the
// generation they started in: `currentCalls` for the listener now stored,
// `olderCalls` for listeners since replaced; a setter waits for the latter.
template <class Function>
struct Slot {
  Function function = nullptr;
  void *context = nullptr;
  std::uint64_t generation = 0;
  int currentCalls = 0;
  int olderCalls = 0;
};

struct Listeners {
  std::mutex mutex;
  std::condition_variable olderCallsDone;
  Slot<ReaderBroadcastListener> broadcast;
  Slot<ReaderOutputListener> output;
};

READER_PROCESS_STATE ProcessState<Listeners> gListeners;

// How many listener calls the calling thread is inside (trivially
// destructible: no thread-exit hook).
thread_local int tListenerDepth = 0;

template <class Function, class Invoke>
bool callListener(Slot<Function> Listeners::*member, Invoke invoke) {
  Listeners *state = gListeners.get();
  if (state == nullptr) return false;
  Slot<Function> &slot = state->*member;
  std::unique_lock lock(state->mutex);
  if (slot.function == nullptr) return false;
  Function function = slot.function;
  void *context = slot.context;
  std::uint64_t generation = slot.generation;
  ++slot.currentCalls;
  lock.unlock();

  ++tListenerDepth;
  invoke(function, context);
  --tListenerDepth;

  lock.lock();
  if (generation == slot.generation) {
    --slot.currentCalls;
  } else if (--slot.olderCalls == 0) {
    state->olderCallsDone.notify_all();
  }
  return true;
}

template <class Function>
void replaceListener(Slot<Function> Listeners::*member, Function function, void *context) {
  Listeners *state = gListeners.get();
  if (state == nullptr) return;
  Slot<Function> &slot = state->*member;
  std::unique_lock lock(state->mutex);
  slot.function = function;
  slot.context = function != nullptr ? context : nullptr;
  ++slot.generation;
  slot.olderCalls += slot.currentCalls;
  slot.currentCalls = 0;
  if (tListenerDepth == 0) {
    state->olderCallsDone.wait(lock, [&] { return slot.olderCalls == 0; });
  }
}

}  // namespace

void setBroadcastListener(ReaderBroadcastListener listener, void *context) {
  replaceListener(&Listeners::broadcast, listener, context);
}

void setOutputListener(ReaderOutputListener listener, void *context) {
  replaceListener(&Listeners::output, listener, context);
}

void emitBroadcast(const char *messageName, long wParam, long lParam) {
  callListener(&Listeners::broadcast, [&](ReaderBroadcastListener function, void *context) {
    function(messageName, wParam, lParam, context);
  });
}

bool emitOutput(const ReaderOutput &output) {
  return callListener(&Listeners::output,
                      [&](ReaderOutputListener function, void *context) { function(&output, context); });
}

namespace {

// -1: the host has not said.
std::atomic<long long> gHandledOutputs{-1};

}  // namespace

void setHandledOutputs(unsigned kinds) { gHandledOutputs = static_cast<long long>(kinds); }

bool hostHandlesOutput(int kind) {
  const long long handled = gHandledOutputs;
  if (handled < 0) {
    Listeners *state = gListeners.get();
    if (state == nullptr) return false;
    const std::lock_guard lock(state->mutex);
    return state->output.function != nullptr;
  }
  return kind >= 0 && kind < 32 && (handled & (1LL << kind)) != 0;
}

}  // namespace reader::platform::posix
