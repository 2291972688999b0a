// Switching an RFID module's tag reading on and off. The ASCII module's port
// is open only while it reads: switching it on opens the port, switching it
// off closes it. The hex-frame module is sent the detection frame of the
// selected tag family; switching it off sends nothing.
#pragma once

#include "core/port_lock.h"

namespace reader {

// True on success. Nothing is done when scanOn already has the requested
// value. The caller holds the channel's portLock.
bool switchModuleReading(const PortLock &lock, bool on);

}  // namespace reader
