#include "platform/common/port_call_gate.h"

#include "platform/process.h"

namespace reader::platform::common {

PortCallGate::PortCallGate() : openerProcess_(currentProcessId()) {}

PortCallGate::Call::Call(const PortCallGate &gate) : gate_(gate) {
  if (gate_.copyLetGo_) return;
  std::lock_guard lock(gate_.mutex_);
  admitted_ = gate_.state_ == State::Open;
  if (admitted_) ++gate_.callsInside_;
}

PortCallGate::Call::~Call() {
  if (!admitted_) return;
  std::lock_guard lock(gate_.mutex_);
  if (--gate_.callsInside_ == 0) gate_.changed_.notify_all();
}

bool PortCallGate::isOpen() const {
  if (copyLetGo_) return false;
  std::lock_guard lock(mutex_);
  return state_ == State::Open;
}

bool PortCallGate::beginClose(std::unique_lock<std::mutex> &lock) {
  if (state_ == State::Closing) {
    changed_.wait(lock, [this] { return state_ == State::Closed; });
    return false;
  }
  if (state_ == State::Closed) return false;
  state_ = State::Closing;
  return true;
}

bool PortCallGate::inOpeningProcess() const { return currentProcessId() == openerProcess_; }

}  // namespace reader::platform::common
