#include "settings/default_setup.h"

#include "core/device_kind.h"
#include "core/port_lock_guard.h"
#include "rfid/module_setup.h"

namespace reader {

namespace {

bool applyAsciiModuleSetupOf(ReaderDevice &device) { return applyAsciiModuleSetup(device.rfid); }
bool applyHexModuleSetupOf(ReaderDevice &device) { return applyHexModuleSetup(device.rfid); }

// Each kind's set-up, found by the kind; nullptr for a kind without one.
using SetUp = bool (*)(ReaderDevice &device);
SetUp setUpOf(int kind) {
  switch (kind) {
    case DeviceKind::TextEngine: return applyTextEngineSetup;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: return applySsiEngineSetup;
    case DeviceKind::AsciiModule: return applyAsciiModuleSetupOf;
    case DeviceKind::HexModule: return applyHexModuleSetupOf;
    default: return nullptr;
  }
}

}  // namespace

bool applyDefaultSetup(ReaderDevice &device, int which) {
  if (which == kBarcodeDevice) return applyEngineDefaultSetup(device);
  if (which != kRfidDevice) return false;
  const SetUp setUp = setUpOf(device.rfidKind());
  return setUp != nullptr && setUp(device);
}

bool applyEngineDefaultSetup(ReaderDevice &device) {
  // The whole set-up, the SSI engine's close and reopen included, is one use
  // of the port.
  PortLockGuard lock(device.barcode);
  if (!lock.held()) return false;
  const SetUp setUp = setUpOf(device.barcodeKind());
  return setUp != nullptr && setUp(device);
}

}  // namespace reader
