// How a switch command's outcome moves the channel's scanOn, for the
// engines' scan switching.
#pragma once

#include "core/device_channel.h"
#include "core/serial_channel.h"

namespace reader {

// A switch-on whose answer was no longer waited for (the trigger was
// released meanwhile) may have reached the engine: it is taken as on, so
// that the switch-off that follows is sent.
inline bool switchedOn(DeviceChannel &channel, bool ok, const WaitCancel *cancel) {
  if (ok || (cancel != nullptr && cancel->requested())) channel.scanOn = 1;
  return ok;
}

// A command that succeeded leaves scanOn at `value`; a failed one leaves it.
inline bool switched(DeviceChannel &channel, bool ok, int value) {
  if (ok) channel.scanOn = value;
  return ok;
}

}  // namespace reader
