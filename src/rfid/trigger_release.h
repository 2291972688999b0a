// The trigger release: scanning switched off on both devices.
#pragma once

#include "core/reader_device.h"

namespace reader {

// Switches scanning off on the barcode engine (see stopBarcodeScan) and,
// when its port is free, on the RFID module: a tag read cycle holding the
// module's port switches its own reading off. Never waits for a port. True
// when a requested device was switched off (or told to).
bool stopScans(ReaderDevice &device, bool barcode, bool rfid);

}  // namespace reader
