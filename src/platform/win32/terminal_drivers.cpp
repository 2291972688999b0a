// The terminal's drivers on Windows CE are its own: nothing to start.
#include "platform/terminal_drivers.h"

namespace reader::platform {

std::string startTerminalDrivers() { return {}; }

void stopTerminalDrivers() {}

}  // namespace reader::platform
