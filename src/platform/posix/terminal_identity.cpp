// The terminal's identity on POSIX: environment variables stand in for the
// device-information query and the registry.
#include "platform/terminal_identity.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace reader::platform {
namespace {

// Copies the value of `variable` into `out` (at most size - 1 characters and
// a terminating NUL). false, with `out` untouched, when the variable is unset
// or there is no room at all.
bool copyVariable(const char *variable, char *out, std::size_t size) {
  const char *value = std::getenv(variable);
  if (value == nullptr || out == nullptr || size == 0) return false;
  std::size_t length = std::min(std::strlen(value), size - 1);
  std::memcpy(out, value, length);
  out[length] = '\0';
  return true;
}

}  // namespace

bool queryDeviceInformation(std::uint32_t selector, char *out, std::size_t size) {
  switch (selector) {
    case kInfoSerialNumber: return copyVariable("READER_SERIAL_NUMBER", out, size);
    case kInfoFittedHardware: return copyVariable("READER_HW_INFO", out, size);
    default: return false;
  }
}

bool readModelDescription(char *out, std::size_t size) {
  return copyVariable("READER_MODEL", out, size);
}

}  // namespace reader::platform
