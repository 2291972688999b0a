// Opening the terminal's devices at start, on both routes.
#pragma once

#include <cstdint>

#include "core/reader_device.h"
#include "settings/ssi_known_values.h"

namespace reader {

// InitReader's route: identifies each wanted device by the fitted-hardware
// text, opens it and sets the present flags. True when everything fitted
// opened; otherwise false with `resultCode` 0 (nothing fitted) or a
// ChannelError 30006 to 30009.
bool openDevices(ReaderDevice &device, SsiKnownValues &known, bool barcodeWanted, bool rfidWanted,
                 std::uint32_t &resultCode);

// InitReaderEx's route: probes each wanted device whose port is closed
// (request 2..6 names a kind, anything else nonzero tries them all), sends
// the default set-up (`known`: what is known of an SSI engine's values),
// sets the present flags and leaves a failure text in initMessage. True when
// at least one device opened.
bool openDevicesEx(ReaderDevice &device, SsiKnownValues &known, int barcodeRequest, int rfidRequest);

}  // namespace reader
