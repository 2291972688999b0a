// The terminal's model on POSIX: the terminal setting READER_MODEL (the
// environment, else the configuration file) stands in for the registry.
#include "platform/terminal_identity.h"

#include "platform/common/terminal_setting_text.h"

namespace reader::platform {

bool readModelDescription(char *out, std::size_t size) {
  return common::copyTerminalSettingText("READER_MODEL", out, size);
}

}  // namespace reader::platform
