// The default set-up: the fixed configuration the library works with, sent
// when a device is opened and when the reader is reset to its defaults.
#pragma once

#include "core/reader_device.h"

namespace reader {

// Sets up device 1 (barcode engine) or 2 (RFID module) of its present kind.
// False for another device number, a kind the set-up does not know, or a
// device that could not be set up.
bool applyDefaultSetup(ReaderDevice &device, int which);

// The engine's set-up under the barcode channel's portLock (taken here).
bool applyEngineDefaultSetup(ReaderDevice &device);

// The engines' own set-ups (engine_default_setup.cpp; the modules' are in
// rfid/module_setup.h). The caller holds the barcode channel's portLock.
bool applyTextEngineSetup(ReaderDevice &device);
bool applySsiEngineSetup(ReaderDevice &device);

}  // namespace reader
