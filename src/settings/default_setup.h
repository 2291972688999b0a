// The default set-up: the fixed configuration the library works with, sent
// when a device is opened and when the reader is reset to its defaults.
#pragma once

#include "core/port_lock.h"
#include "settings/ssi_known_values.h"

namespace reader {

// Sets up the device behind the held port by its present kind. False for a
// kind the set-up does not know, or a device that could not be set up.
// `known` is what the library knows of an SSI engine's values; the other
// kinds leave it alone.
bool applyDefaultSetup(const PortLock &port, SsiKnownValues &known);

// The engines' own set-ups (engine_default_setup.cpp; the modules' are in
// rfid/module_setup.h).
bool applyTextEngineSetup(const PortLock &engine, SsiKnownValues &known);
bool applySsiEngineSetup(const PortLock &engine, SsiKnownValues &known);

}  // namespace reader
