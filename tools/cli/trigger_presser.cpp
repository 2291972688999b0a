#include "trigger_presser.h"

#include "host_adapter.h"

namespace readerctl {

namespace {

constexpr int kTriggerKey = 1;
constexpr int kDispatchSliceMs = 20;

}  // namespace

TriggerPresser::TriggerPresser(Timing timing)
    : TriggerPresser(timing, Keys{[](bool pressed) { host::triggerKey(kTriggerKey, pressed); },
                                  [](int timeoutMs) { host::dispatch(timeoutMs); }}) {}

TriggerPresser::~TriggerPresser() {
  if (held_) {
    letUp(Clock::now());
    keys_.dispatch(0);
  }
}

bool TriggerPresser::dispatchUntil(const std::function<bool()> &announced, Clock::time_point deadline,
                                   const std::atomic<bool> &stop, bool pressing) {
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (announced()) {
      if (held_) letUp(now);
      return true;
    }
    if (stop || now >= deadline) {
      if (held_) letUp(now);
      return false;
    }
    if (pressing) {
      if (held_ && now - pressedAt_ >= timing_.hold) {
        letUp(now);
      } else if (!held_ && now - releasedAt_ >= timing_.pause) {
        press(now);
      }
    }
    keys_.dispatch(kDispatchSliceMs);
  }
}

void TriggerPresser::press(Clock::time_point now) {
  keys_.trigger(true);
  held_ = true;
  pressedAt_ = now;
}

void TriggerPresser::letUp(Clock::time_point now) {
  keys_.trigger(false);
  held_ = false;
  releasedAt_ = now;
}

}  // namespace readerctl
