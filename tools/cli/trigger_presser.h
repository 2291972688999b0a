// Stands in for the terminal's key driver, which Linux and a Windows desktop
// do not have: presses trigger key 1 (host::triggerKey), holds it down until
// what the caller waits for is announced or the hold time runs out, lets it
// up, and presses again after a pause.
//
// Runs on the thread that started the reader: it dispatches the library's
// window messages, and the announcements with them.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <utility>

namespace readerctl {

class TriggerPresser {
 public:
  using Clock = std::chrono::steady_clock;

  struct Timing {
    Clock::duration hold;   // the longest a press is held
    Clock::duration pause;  // from letting the key up to the next press
  };

  // What a press is and how the wait for announcements is made: by default
  // the host's trigger key and its window messages (host::triggerKey,
  // host::dispatch); readerd's trigger command and its socket for a
  // client of readerd.
  struct Keys {
    std::function<void(bool pressed)> trigger;
    std::function<void(int timeoutMs)> dispatch;
  };

  explicit TriggerPresser(Timing timing);
  TriggerPresser(Timing timing, Keys keys) : timing_(timing), keys_(std::move(keys)) {}
  ~TriggerPresser();  // lets the key up if it is held
  TriggerPresser(const TriggerPresser &) = delete;
  TriggerPresser &operator=(const TriggerPresser &) = delete;

  // Dispatches until `announced` returns true (then true), `deadline` passes
  // or `stop` is set (false for both). Presses the key only when `pressing`;
  // otherwise it just dispatches. The key is up again when it returns.
  bool dispatchUntil(const std::function<bool()> &announced, Clock::time_point deadline, const std::atomic<bool> &stop,
                     bool pressing = true);

 private:
  void press(Clock::time_point now);
  void letUp(Clock::time_point now);

  Timing timing_;
  Keys keys_;
  bool held_ = false;
  Clock::time_point pressedAt_{};
  Clock::time_point releasedAt_{};
};

}  // namespace readerctl
