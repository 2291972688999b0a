// Terminal settings on Windows: the environment alone (a terminal keeps no
// configuration file of ours).
#include "platform/common/terminal_setting_text.h"

#include "platform/common/environment_text.h"

namespace reader::platform::common {

bool copyTerminalSettingText(const char *name, char *out, std::size_t size) {
  return copyEnvironmentText(name, out, size);
}

}  // namespace reader::platform::common
