// The open serial port of a channel, shared by the threads that use it.
//
// A closing thread and a reading thread may meet on one port (a trigger
// release switching the engine off while a scan waits for a decode, the idle
// close of the RFID port). Each user takes its own reference for the length
// of one operation, so a close never frees a port under a caller; the
// platform wakes a caller blocked on a port that is being closed.
#pragma once

#include <memory>
#include <mutex>

#include "platform/serial_port.h"

namespace reader {

class PortSlot {
 public:
  std::shared_ptr<platform::SerialPort> get() const {
    std::lock_guard lock(mutex_);
    return port_;
  }
  void set(std::shared_ptr<platform::SerialPort> port) {
    std::lock_guard lock(mutex_);
    port_ = std::move(port);
  }
  // Detaches the port and hands it to the caller, who closes it.
  std::shared_ptr<platform::SerialPort> take() {
    std::lock_guard lock(mutex_);
    return std::move(port_);
  }
  bool isOpen() const {
    std::lock_guard lock(mutex_);
    return port_ != nullptr;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<platform::SerialPort> port_;
};

}  // namespace reader
