// The keyboard wedge on an X display: keys pressed through the XTEST
// extension, as if typed on the display's own keyboard, with the display's
// own keyboard map. libX11.so.6 and libXtst.so.6 are loaded when the wedge
// starts; nothing links against them.
//
// Private to the POSIX backend. Not thread-safe: the wedge serialises calls.
// Problems (no library, no display, a display that goes away) are reported
// through reportTerminalProblem; a lost display never ends the process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace reader::platform::posix {

struct XLibrary;
struct XConnection;

class XTestKeyboard {
 public:
  // The display $DISPLAY names; nullptr, with the reason reported, when the
  // libraries, the display or its XTEST extension are missing.
  static std::unique_ptr<XTestKeyboard> open();

  ~XTestKeyboard();
  XTestKeyboard(const XTestKeyboard &) = delete;
  XTestKeyboard &operator=(const XTestKeyboard &) = delete;

  // Types the characters (code points) in order, each with Shift_L held when
  // the display's map has it on the shifted level; `untypable` is called for
  // each character the map has no key for, which is skipped. false when the
  // display is lost.
  bool type(const char32_t *characters, std::size_t count, const std::function<void(char32_t)> &untypable);
  // Presses or releases the key of `keysym` (a keysym the display's map has
  // no key for is reported and skipped). false when the display is lost.
  bool key(std::uint32_t keysym, bool pressed);

 private:
  explicit XTestKeyboard(std::unique_ptr<XConnection> connection);
  bool lost();

  std::unique_ptr<XConnection> connection_;
};

}  // namespace reader::platform::posix
