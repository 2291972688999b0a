// The RFID modules' own set-up: the ASCII module's parameters, the hex-frame
// module's two set-up frames.
#pragma once

#include "core/port_lock.h"

namespace reader {

// Opens the ASCII module's port, finds its link, writes and reads back its
// parameters, and closes the port again. True when the link was found.
bool applyAsciiModuleSetup(const PortLock &lock);

// Sends the hex-frame module its set-up frames, each once for the library's
// lifetime after the module accepted it. True when both have been accepted.
bool applyHexModuleSetup(const PortLock &lock);

}  // namespace reader
