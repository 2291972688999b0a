// Status of the scan engine's wake line.
//
// Required of every backend; a backend without it returns false, and the
// callers then fall back to fixed waits.
#pragma once

#include <cstdint>

namespace reader::platform {

class SerialPort;

// Reads the line status: 0 once the engine has noticed an asserted wake line,
// 1 once it has noticed its release. false when no status is available.
// `port` is the engine's own port (the one the wake line is driven on), for
// a backend that reads the status from its modem lines; nullptr when it is
// not open. Safe from any thread.
bool queryEngineLineStatus(const SerialPort *port, std::uint32_t &status);

}  // namespace reader::platform
