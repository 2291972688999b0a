// A terminal setting read as text, for the queries every backend shares
// (device_information.cpp). Private to the platform layer; each backend
// defines it: POSIX takes the environment, else the terminal's configuration
// file; Win32 the environment only.
#pragma once

#include <cstddef>

namespace reader::platform::common {

// Copies the value of setting `name` into `out` (at most size - 1 characters
// and a terminating NUL). false, with `out` untouched, when the setting has
// no value or there is no room at all.
bool copyTerminalSettingText(const char *name, char *out, std::size_t size);

}  // namespace reader::platform::common
