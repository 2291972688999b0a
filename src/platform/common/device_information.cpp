// The device-information queries: no backend has the terminal's firmware
// calls, so terminal settings stand in for them (READER_SERIAL_NUMBER,
// READER_HW_INFO; where a backend finds those: terminal_setting_text.h).
#include "platform/common/terminal_setting_text.h"
#include "platform/terminal_identity.h"

namespace reader::platform {

bool queryDeviceInformation(std::uint32_t selector, char *out, std::size_t size) {
  switch (selector) {
    case kInfoSerialNumber: return common::copyTerminalSettingText("READER_SERIAL_NUMBER", out, size);
    case kInfoFittedHardware: return common::copyTerminalSettingText("READER_HW_INFO", out, size);
    default: return false;
  }
}

}  // namespace reader::platform
