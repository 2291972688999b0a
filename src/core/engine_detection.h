// Finding out which engine and module the terminal carries and bringing each
// link to its working speed.
//
// Two routes: identifyByHardware trusts the terminal's fitted-hardware text;
// identifyByRequest probes the kinds (or the one the caller names). The probe
// and speed routines also serve the start-up set-up and the reopening of the
// hex-frame module's port.
#pragma once

#include "core/byte_string.h"
#include "core/port_lock.h"

namespace reader {

// Handheld models, from the model description.
namespace Model {
inline constexpr int Unknown = 0;
inline constexpr int Hlm3100xe = 1;
inline constexpr int Hlm3200xe = 2;  // also a device describing itself as "Pocket_PC"
}  // namespace Model

// The model from the terminal's model description.
int readModel();

// Sets the speed and asks the device of the channel's kind whether it is
// there. An SSI engine's revision answer may turn kind 3 into 4 or back.
bool probeDevice(const PortLock &lock, int bitsPerSecond);

// Asks the device to move its link to another speed (SSI engines: parameter
// 0x9C; ASCII module: "wp0C03"). Kinds 2 and 6 have nothing to switch.
bool switchEngineBaud(const PortLock &lock, int bitsPerSecond);

// Finds the device at its working speed, or at 9600 and moves it there.
bool negotiateLink(const PortLock &lock);

// negotiateLink after an SSI engine's set-defaults command, which puts it
// back at 9600: it is looked for there first, then at its working speed (an
// engine that kept its speed). Other kinds: negotiateLink.
bool renegotiateLinkAfterDefaults(const PortLock &lock);

// The engine's first parameter set-up after it went back to its own
// defaults (the SSI engines); false for a kind without one.
bool sendEngineDefaults(const PortLock &lock);

// Reads the configuration the library keeps of the device into `out` (the
// text engine's configuration block; the ASCII module's parameter bytes
// 0x0A..0x1F, appended); nothing for other kinds.
void readConfiguration(const PortLock &lock, ByteString &out);

// The kind the fitted-hardware text (and, for the RFID port, the model)
// names for the channel's port, without opening it: 0 when nothing is
// fitted there. What a port that cannot be opened was meant to carry.
int fittedKind(const DeviceChannel &channel, int model);

// Identification from the fitted-hardware text and, for the RFID port, the
// handheld model (readModel); sets the channel's kind (a failed
// identification may leave it nonzero: fitted but not answering).
bool identifyByHardware(const PortLock &lock, int model);

// Identification by probing: `requestedKind` 2, 3 or 4 (barcode) or 5 or 6
// (RFID) probes that kind only; anything else tries every kind the channel
// can carry (the RFID port: in the order the model suggests). Failure leaves
// the kind 0.
bool identifyByRequest(const PortLock &lock, int requestedKind, int model);

}  // namespace reader
