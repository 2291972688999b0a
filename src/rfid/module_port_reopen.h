// The hex-frame module's port, closed by the idle close, opened again for
// the next use.
#pragma once

#include "core/device_channel.h"

namespace reader {

// Makes sure the hex-frame module's port is open, set to its speed, set up
// and set to the selected tag family. The caller holds the channel's
// portLock.
bool reopenRfidPort(DeviceChannel &channel);

}  // namespace reader
