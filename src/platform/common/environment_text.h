// Texts that stand in for terminal services in the environment, read the
// same way by every backend. Private to the platform layer.
#pragma once

#include <cstddef>

namespace reader::platform::common {

// Copies the value of `variable` into `out` (at most size - 1 characters and
// a terminating NUL). false, with `out` untouched, when the variable is unset
// or there is no room at all.
bool copyEnvironmentText(const char *variable, char *out, std::size_t size);

}  // namespace reader::platform::common
