// Setting the hex-frame RFID module to the air protocol of one tag family.
#pragma once

#include "core/port_lock.h"

namespace reader {

// Sends the protocol-select frame for the channel's protocolSelector (3, 5,
// 8 or 16) and needs an answer. Another selector sends nothing and succeeds;
// another kind of module fails.
bool selectProtocol(const PortLock &lock);

}  // namespace reader
