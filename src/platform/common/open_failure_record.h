// What the last failed open of each serial port was, for
// SerialPort::lastOpenFailure. Private to the platform layer: each backend
// records its own description of the device and the system's reason.
#pragma once

#include <string>

namespace reader::platform::common {

// Keeps `description` as port `portNumber`'s last open failure (ports 1 to
// 8; a longer text is cut); an empty one, for a successful open, forgets it.
void recordOpenFailure(int portNumber, std::string description);

}  // namespace reader::platform::common
