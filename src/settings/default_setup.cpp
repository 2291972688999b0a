#include "settings/default_setup.h"

#include "core/device_kind.h"
#include "rfid/module_setup.h"

namespace reader {

namespace {

bool applyAsciiModuleSetupOf(const PortLock &module, SsiKnownValues &) { return applyAsciiModuleSetup(module); }
bool applyHexModuleSetupOf(const PortLock &module, SsiKnownValues &) { return applyHexModuleSetup(module); }

// Each kind's set-up, found by the kind; nullptr for a kind without one.
using SetUp = bool (*)(const PortLock &port, SsiKnownValues &known);
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

bool applyDefaultSetup(const PortLock &port, SsiKnownValues &known) {
  const SetUp setUp = setUpOf(port.channel().kind);
  return setUp != nullptr && setUp(port, known);
}

}  // namespace reader
