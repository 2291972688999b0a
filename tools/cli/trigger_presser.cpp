#include "trigger_presser.h"

#include <3100XE_DLL.h>

namespace readerctl {

namespace {

constexpr int kTriggerKey = 1;
constexpr int kDispatchSliceMs = 20;

}  // namespace

TriggerPresser::~TriggerPresser() {
  if (held_) {
    letUp(Clock::now());
    ReaderHostDispatch(0);
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
    ReaderHostDispatch(kDispatchSliceMs);
  }
}

void TriggerPresser::press(Clock::time_point now) {
  ReaderHostTriggerKey(kTriggerKey, 1);
  held_ = true;
  pressedAt_ = now;
}

void TriggerPresser::letUp(Clock::time_point now) {
  ReaderHostTriggerKey(kTriggerKey, 0);
  held_ = false;
  releasedAt_ = now;
}

}  // namespace readerctl
