// The terminal's own input and feedback devices, as its configuration names
// them: the trigger keys, the keyboard the output is typed on, the sound and
// the vibrator.
//
// Required of every backend. The POSIX backend reads the terminal's
// configuration file and starts what it configures (the Win32 backend has the
// terminal's own drivers and starts nothing). Nothing configured: nothing
// runs, and the host does it all through the host API.
#pragma once

#include <string>

namespace reader::platform {

// At every start (InitReader, InitReaderEx), before the ports are opened:
// reads the configuration again and starts the drivers it names that do not
// run yet. Returns the problems found (a malformed line, a device that cannot
// be used), one "\r\n"-ended line each, empty when none; each was traced
// once. Never fails the start.
std::string startTerminalDrivers();

// When no device remains open, and at unload: stops what runs (the trigger
// readers, the virtual keyboard). Returns when they have stopped.
void stopTerminalDrivers();

}  // namespace reader::platform
