// A terminal setting together with where it came from, for messages that
// must tell the user what to fix. Private to the POSIX backend; the value is
// the one terminalSetting (terminal_config.h) gives.
#pragma once

#include <optional>
#include <string>

namespace reader::platform::posix {

struct TerminalSettingWithOrigin {
  std::string value;
  // The setting as the user finds it: "READER_COM1" for the environment
  // variable, "READER_COM1 in /etc/reader3100xe.conf" for the file's line.
  std::string origin;
};

// terminalSetting(name) and its origin, taken together (the environment may
// change, or the file be reloaded, between two separate looks).
std::optional<TerminalSettingWithOrigin> terminalSettingWithOrigin(const char *name);

}  // namespace reader::platform::posix
