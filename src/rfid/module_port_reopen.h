// The hex-frame module's port, closed by the idle close, opened again for
// the next use.
#pragma once

#include "core/port_lock.h"

namespace reader {

// Makes sure the hex-frame module's port is open, set to its speed, set up
// and set to the selected tag family. The caller holds the channel's
// portLock.
bool reopenRfidPort(const PortLock &lock);

}  // namespace reader
