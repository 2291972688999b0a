// Finding out which engine and module the terminal carries and bringing each
// link to its working speed.
//
// Two routes: identifyByHardware trusts the terminal's fitted-hardware text;
// identifyByRequest probes the kinds (or the one the caller names). The probe
// and speed routines also serve the start-up set-up and the reopening of the
// hex-frame module's port.
#pragma once

#include "core/byte_string.h"
#include "core/device_channel.h"

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
bool probeDevice(DeviceChannel &channel, int bitsPerSecond);

// Asks the device to move its link to another speed (SSI engines: parameter
// 0x9C; ASCII module: "wp0C03"). Kinds 2 and 6 have nothing to switch.
bool switchEngineBaud(DeviceChannel &channel, int bitsPerSecond);

// Finds the device at its working speed, or at 9600 and moves it there.
bool negotiateLink(DeviceChannel &channel);

// negotiateLink after an SSI engine's set-defaults command, which puts it
// back at 9600: it is looked for there first, then at its working speed (an
// engine that kept its speed). Other kinds: negotiateLink.
bool renegotiateLinkAfterDefaults(DeviceChannel &channel);

// The SSI engine's first parameter set-up.
bool sendSsiDefaults(DeviceChannel &channel);

// Reads the text engine's configuration block, or appends the ASCII module's
// parameter bytes 0x0A..0x1F, into `out`.
void readConfiguration(DeviceChannel &channel, ByteString &out);

// The kind the fitted-hardware text (and, for the RFID port, the model)
// names for the channel's port, without opening it: 0 when nothing is
// fitted there. What a port that cannot be opened was meant to carry.
int fittedKind(const DeviceChannel &channel, int model);

// Identification from the fitted-hardware text and, for the RFID port, the
// handheld model (readModel); sets the channel's kind (a failed
// identification may leave it nonzero: fitted but not answering).
bool identifyByHardware(DeviceChannel &channel, int model);

// Identification by probing: `requestedKind` 2, 3 or 4 (barcode) or 5 or 6
// (RFID) probes that kind only; anything else tries every kind the channel
// can carry (the RFID port: in the order the model suggests). Failure leaves
// the kind 0.
bool identifyByRequest(DeviceChannel &channel, int requestedKind, int model);

}  // namespace reader
