#include "rfid/trigger_release.h"

#include "core/port_lock.h"
#include "core/scan_control.h"
#include "rfid/module_reading_switch.h"

namespace reader {

bool stopScans(ReaderDevice &device, bool barcode, bool rfid) {
  const bool barcodeOff = barcode && stopBarcodeScan(device);
  if (!rfid || device.rfidPresent == 0) return barcodeOff;
  const auto lock = PortLock::take(device.rfid, PortLock::Mode::TryOnly);
  const bool rfidOff = lock && switchModuleReading(*lock, false);
  return barcodeOff || rfidOff;
}

}  // namespace reader
