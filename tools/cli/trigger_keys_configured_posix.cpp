// The library reads the trigger keys of a Linux terminal when
// READER_TRIGGER_DEVICE or READER_TRIGGER_X11 has a value; an empty one, as
// an unset one, configures nothing.
#include "terminal_config_file.h"
#include "trigger_pressing.h"

namespace readerctl {

bool triggerKeysConfigured() {
  for (const char *name : {"READER_TRIGGER_DEVICE", "READER_TRIGGER_X11"}) {
    const std::optional<std::string> value = terminalSetting(name);
    if (value && !value->empty()) return true;
  }
  return false;
}

}  // namespace readerctl
