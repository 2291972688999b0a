// Waiting for one decode from a barcode engine.
#pragma once

#include "core/port_lock.h"
#include "core/scan_result.h"
#include "core/serial_channel.h"

namespace reader {

// Reads one decode frame from the channel's device (waiting `timeoutMs` for
// it to begin) and names it into `out`. True when a decode was received;
// an SSI engine then waits for acknowledgeDecode.
//
// The channel's stored result is not touched: the caller decides whether the
// candidate is accepted and stores it as a whole. On false, `out` holds what
// arrived (empty for the text engine's "nothing decoded") and lastError says
// why: ChannelError::NoDecode, or the serial error of a read that timed out.
//
// Called with the channel's portLock held, or from the one thread that scans.
// With `cancel`, the wait for the decode to begin ends early once it is
// requested (see readFrame).
bool readDecode(const PortLock &lock, ScanResult &out, int timeoutMs, const WaitCancel *cancel = nullptr);

// Acknowledges a decode that readDecode received, where the engine expects
// that (the SSI engines, which repeat a decode until it is acknowledged).
// Separate from the read, so that a decode can be handed on before the
// acknowledgement's wake-line waits.
void acknowledgeDecode(const PortLock &lock);

}  // namespace reader
