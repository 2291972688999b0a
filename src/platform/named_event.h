// Named auto-reset events ("DecodeEventBC", "DecodeEventRFID").
//
// Required of every backend. An event is created not signalled. Creating an
// event whose name exists opens the existing one; the event exists while at
// least one NamedEvent object for its name exists. Setting a signalled event
// changes nothing; a wait takes the signal and resets the event. Safe from any
// thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform_types.h"

namespace reader::platform {

class NamedEvent {
 public:
  // nullptr when the event cannot be created.
  static std::unique_ptr<NamedEvent> create(const char *name);

  ~NamedEvent();
  NamedEvent(const NamedEvent &) = delete;
  NamedEvent &operator=(const NamedEvent &) = delete;

  bool set();

 private:
  NamedEvent();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What another program does with the event's name: waits up to timeoutMs for
// the event to be signalled. `exists` is false (and the result Failed) when
// no event of that name exists.
WaitResult waitNamedEvent(const char *name, std::uint32_t timeoutMs, bool &exists);

}  // namespace reader::platform
