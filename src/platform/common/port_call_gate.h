// The gate every call on an open port passes, and the port's close.
//
// A call is let in only while the port is open, and counted while inside, so
// that close() can wake the calls blocked in the port's handle, wait until
// they have left, and only then let the handle go: a handle (or a descriptor
// number, which the system hands out again) is never used after it was
// closed. A port goes open -> closing -> closed, once; from "closing" on, new
// calls are refused at once. Each backend supplies what waking its calls and
// letting its handle go take; the order and the waiting are kept here.
//
// A copy of the port in another process (a child forked after the open) is
// let go by closeCopyInChild(), which touches neither the device nor the
// gate's lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace reader::platform::common {

// Whether the calls inside a closing port will come out (close() waits for
// them) or never will (the process is ending: its other threads are gone).
enum class CallsInside { WillLeave, Abandoned };

class PortCallGate {
 public:
  PortCallGate();  // in the process that opened the port
  PortCallGate(const PortCallGate &) = delete;
  PortCallGate &operator=(const PortCallGate &) = delete;

  // One call inside the port, for as long as it lives. A call that is not
  // admitted (the port is not open) must fail without touching the handle.
  class Call {
   public:
    explicit Call(const PortCallGate &gate);
    ~Call();
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
    bool admitted() const { return admitted_; }

   private:
    const PortCallGate &gate_;
    bool admitted_ = false;
  };

  // Open: neither closing nor closed, nor let go in this process.
  bool isOpen() const;

  // The first close marks the port closing, runs wake() (which makes every
  // call blocked in the handle return, and says whether they will come out),
  // waits until no call is inside unless they were abandoned, runs
  // release(CallsInside) to let the handle go, and marks the port closed. A
  // close while another is under way returns once that one has finished; a
  // close after it does nothing. Both steps run under the gate's lock, so
  // isOpen() waits for the close to end: they must not call into the gate.
  template <class Wake, class Release>
  void close(Wake &&wake, Release &&release) {
    std::unique_lock lock(mutex_);
    if (!beginClose(lock)) return;
    const CallsInside calls = wake();
    if (calls == CallsInside::WillLeave) changed_.wait(lock, [this] { return callsInside_ == 0; });
    release(calls);
    state_ = State::Closed;
    changed_.notify_all();
  }

  // In a process other than the one that opened the port (a child forked
  // after the open): runs release() the first time only, refuses every call
  // from then on, and returns true. The gate's lock is not taken: a thread
  // of the opener may have held it at the fork, and none of the opener's
  // threads exists here to be waited for. In the opening process: false,
  // and nothing happens.
  template <class Release>
  bool closeCopyInChild(Release &&release) {
    if (inOpeningProcess()) return false;
    if (!copyLetGo_.exchange(true)) release();
    return true;
  }

 private:
  enum class State { Open, Closing, Closed };

  // True for the close that is to do the work (the port was open; now it is
  // closing). Otherwise waits for a close under way to end.
  bool beginClose(std::unique_lock<std::mutex> &lock);
  bool inOpeningProcess() const;

  const std::uint64_t openerProcess_;
  std::atomic<bool> copyLetGo_{false};  // closeCopyInChild ran

  mutable std::mutex mutex_;  // state_, callsInside_
  mutable std::condition_variable changed_;
  State state_ = State::Open;
  mutable int callsInside_ = 0;  // counted by const calls too
};

}  // namespace reader::platform::common
