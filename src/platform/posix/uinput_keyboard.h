// The keyboard wedge's virtual keyboard: a uinput device that the kernel
// offers to every reader of keyboards (console, X server, compositor) as one
// more keyboard, and the key events typed on it.
//
// Private to the POSIX backend. Not thread-safe: the wedge serialises calls.
// Problems (open, create, write) are reported through reportTerminalProblem.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/us_keymap.h"

namespace reader::platform::posix {

class UinputKeyboard {
 public:
  // The virtual keyboard on the uinput device `path` (e.g. /dev/uinput) with
  // the keys `keys`; nullptr, with the reason reported, when it cannot be
  // opened or created.
  static std::unique_ptr<UinputKeyboard> create(const std::string &path, const std::vector<std::uint16_t> &keys);

  // Removes the device from the system.
  ~UinputKeyboard();
  UinputKeyboard(const UinputKeyboard &) = delete;
  UinputKeyboard &operator=(const UinputKeyboard &) = delete;

  // Presses and releases the stroke's key, inside a shift press when it
  // needs one; every change is its own report (SYN_REPORT). false when the
  // device refused the events.
  bool type(KeyStroke stroke);
  // Presses or releases one key. false when the device refused the event.
  bool key(std::uint16_t code, bool pressed);

 private:
  UinputKeyboard(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  bool writeChanges(const std::uint16_t *codes, const bool *pressed, std::size_t count);

  int fd_;
  std::string path_;
};

}  // namespace reader::platform::posix
