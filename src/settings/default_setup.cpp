#include "settings/default_setup.h"

#include "core/device_kind.h"
#include "rfid/module_setup.h"

namespace reader {

bool applyDefaultSetup(ReaderDevice &device, int which) {
  if (which == kBarcodeDevice) return applyEngineDefaultSetup(device);
  if (which != kRfidDevice) return false;
  switch (device.rfidKind()) {
    case DeviceKind::AsciiModule: return applyAsciiModuleSetup(device.rfid);
    case DeviceKind::HexModule: return applyHexModuleSetup(device.rfid);
    default: return false;
  }
}

}  // namespace reader
