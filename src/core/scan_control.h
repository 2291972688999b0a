// Switching the devices' scanning on and off, and one barcode scan cycle.
#pragma once

#include <functional>

#include "core/byte_string.h"
#include "core/port_lock.h"
#include "core/reader_device.h"

namespace reader {

struct WaitCancel;

// Hands an accepted decode on; called while the scan cycle still holds the
// engine's port, so it must not wait for anything.
using DecodeAnnouncer = std::function<void()>;

// Switches scanning on (true) or off on the channel's device; true on
// success. Nothing is sent when scanOn already has the requested value. The
// caller holds the channel's portLock.
// With `cancel`, a request ends the switch-on's wait for the engine's answer
// (the device is then taken as switched on, since the command may have
// reached it).
bool setScan(const PortLock &lock, bool on, const WaitCancel *cancel = nullptr);

// The trigger release on the barcode engine: switches its scanning off, or,
// when a scan cycle holds the engine's port, tells the cycle to end; it
// switches the engine off itself at once. Never waits for the port. True
// when the engine was switched off (or told to); false when none is present.
bool stopBarcodeScan(ReaderDevice &device);

// The trigger press: a new trigger-driven cycle may run.
void armTriggerScan(ReaderDevice &device);

// One barcode scan cycle: switch on, wait up to timeoutMs for a decode,
// switch off (a text engine that triggers itself is only waited for). True
// when a decode was received and accepted: it is then the barcode channel's
// ScanResult and is copied to the outs, and `announce` (when given) has been
// called once, as soon as the decode was stored, before the engine was
// acknowledged and switched off. A decode that is not accepted (a Code 128 or
// EAN-128 decode the text engine's block disables) leaves the ScanResult as
// it was and is not announced.
bool scanBarcode(ReaderDevice &device, int &code, ByteString &name, ByteString &data, int timeoutMs,
                 const DecodeAnnouncer &announce = {});

// Whether the text engine's block lets a Code 128 ('I') or EAN-128 ('U')
// decode through, as the copy of the block last published it; a rejected
// one has its name and data emptied.
bool filterCode128(const DeviceChannel &channel, int code, ByteString &name, ByteString &data);

}  // namespace reader
