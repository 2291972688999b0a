// The vibrator the terminal's configuration names (sysfs LED-class or
// timed-output, or force feedback on an input device). Private to the POSIX
// backend.
#pragma once

namespace reader::platform::posix {

// Switches the configured vibrator; false when none is configured or it
// failed.
bool driveVibrator(bool on);

}  // namespace reader::platform::posix
