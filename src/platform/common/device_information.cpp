// The device-information queries: no backend has the terminal's firmware
// calls, so the environment stands in for them (READER_SERIAL_NUMBER,
// READER_HW_INFO).
#include "platform/common/environment_text.h"
#include "platform/terminal_identity.h"

namespace reader::platform {

bool queryDeviceInformation(std::uint32_t selector, char *out, std::size_t size) {
  switch (selector) {
    case kInfoSerialNumber: return common::copyEnvironmentText("READER_SERIAL_NUMBER", out, size);
    case kInfoFittedHardware: return common::copyEnvironmentText("READER_HW_INFO", out, size);
    default: return false;
  }
}

}  // namespace reader::platform
