// Opening the terminal's devices at start, on both routes.
#pragma once

#include <cstdint>

#include "core/reader_device.h"

namespace reader {

// InitReader's route: identifies each wanted device by the fitted-hardware
// text, opens it and sets the present flags. True when everything fitted
// opened; otherwise false with `resultCode` 0 (nothing fitted) or a
// ChannelError 30006 to 30009.
bool openDevices(ReaderDevice &device, bool barcodeWanted, bool rfidWanted,
                 std::uint32_t &resultCode);

// InitReaderEx's route: probes each wanted device whose port is closed
// (request 2..6 names a kind, anything else nonzero tries them all), sends
// the default set-up, sets the present flags and leaves a failure text in
// initMessage. True when at least one device opened.
bool openDevicesEx(ReaderDevice &device, int barcodeRequest, int rfidRequest);

}  // namespace reader
