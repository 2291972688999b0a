// Terminal settings as text on POSIX: the environment, else the terminal's
// configuration file.
#include "platform/common/terminal_setting_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/posix/terminal_config.h"

namespace reader::platform::common {

bool copyTerminalSettingText(const char *name, char *out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  const std::optional<std::string> value = posix::terminalSetting(name);
  if (!value) return false;
  const std::size_t length = std::min(value->size(), size - 1);
  std::memcpy(out, value->data(), length);
  out[length] = '\0';
  return true;
}

}  // namespace reader::platform::common
