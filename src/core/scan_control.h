// Switching the devices' scanning on and off, and one barcode scan cycle.
#pragma once

#include "core/byte_string.h"
#include "core/reader_device.h"

namespace reader {

// One barcode scan cycle: switch on, wait up to timeoutMs for a decode,
// switch off. True when a decode was received and stored in the barcode
// channel's ScanResult.
bool scanBarcode(ReaderDevice &device, int &code, ByteString &name, ByteString &data, int timeoutMs);

// Switches scanning off on the barcode engine and (when its port is free) on
// the RFID module.
bool stopScans(ReaderDevice &device, bool barcode, bool rfid);

}  // namespace reader
