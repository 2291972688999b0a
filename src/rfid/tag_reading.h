// The module's reading, switched on for one scope and off again however the
// scope ends: the ASCII module's port must not stay open after a cycle, and a
// module left marked as reading would take the next switch-on as done and
// send nothing.
#pragma once

#include "core/port_lock.h"
#include "rfid/module_reading_switch.h"

namespace reader {

class TagReading {
 public:
  // The caller holds the channel's portLock for the whole scope.
  explicit TagReading(const PortLock &lock) : lock_(lock) {}
  ~TagReading() {
    if (on_) switchModuleReading(lock_, false);
  }
  TagReading(const TagReading &) = delete;
  TagReading &operator=(const TagReading &) = delete;

  // Sends the module's read command (ASCII module: opens its port first).
  bool switchOn() {
    if (lock_.channel().scanOn != 0) switchModuleReading(lock_, false);
    on_ = switchModuleReading(lock_, true);
    return on_;
  }

 private:
  const PortLock &lock_;
  bool on_ = false;
};

}  // namespace reader
