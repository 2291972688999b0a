#include "rfid/trigger_release.h"

#include "core/port_lock_guard.h"
#include "core/scan_control.h"
#include "rfid/module_reading_switch.h"

namespace reader {

bool stopScans(ReaderDevice &device, bool barcode, bool rfid) {
  const bool barcodeOff = barcode && stopBarcodeScan(device);
  if (!rfid || device.rfidPresent == 0) return barcodeOff;
  bool rfidOff = false;
  {
    PortLockGuard lock(device.rfid, PortLockGuard::Mode::TryOnly);
    if (lock.held()) rfidOff = switchModuleReading(device.rfid, false);
  }
  return barcodeOff || rfidOff;
}

}  // namespace reader
