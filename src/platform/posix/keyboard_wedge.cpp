#include "platform/posix/keyboard_wedge.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/process_state.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/uinput_keyboard.h"
#include "platform/posix/us_keymap.h"
#include "platform/posix/virtual_keys.h"
#include "platform/posix/xtest_keyboard.h"

namespace reader::platform::posix {
namespace {

struct Wedge {
  std::mutex lock;
  // At most one of the two runs; both null: no wedge.
  std::unique_ptr<UinputKeyboard> uinput;  // guarded by lock
  std::unique_ptr<XTestKeyboard> x11;      // guarded by lock
  std::set<char32_t> reported;             // guarded by lock: untypable characters reported this start
};

// Outlives the library's own statics, whose teardown stops the wedge, and
// goes with the module (see process_state.h).
READER_PROCESS_STATE ProcessState<Wedge> gWedge;

// The library passes record bytes through a signed 8-bit buffer: a negative
// value is a byte above 127, taken as Latin-1.
char32_t codePoint(std::int32_t value) {
  return value < 0 && value >= -128 ? static_cast<char32_t>(value & 0xFF) : static_cast<char32_t>(value);
}

void reportUntypable(Wedge &w, const char *map, char32_t character) {
  if (!w.reported.insert(character).second) return;
  char text[96];
  std::snprintf(text, sizeof text, "keyboard wedge: the %s keymap cannot type U+%04X", map,
                static_cast<unsigned>(character));
  reportTerminalProblem(text);
}

void startUinput(Wedge &w) {
  std::string keymap = terminalSetting("READER_KEYMAP").value_or("us");
  if (keymap != "us") {
    reportTerminalProblem("keyboard wedge: READER_KEYMAP=" + keymap + " is not known (only us is)");
    return;
  }
  std::vector<std::uint16_t> keys = usKeymapKeys();
  for (std::uint16_t code : virtualKeyCodes()) keys.push_back(code);
  std::string path = terminalSetting("READER_UINPUT_PATH").value_or("/dev/uinput");
  w.uinput = UinputKeyboard::create(path, keys);
}

bool typeCharacters(Wedge &w, const std::int32_t *characters, std::size_t count) {
  if (w.x11 != nullptr) {
    std::vector<char32_t> text;
    for (std::size_t i = 0; i < count; ++i) text.push_back(codePoint(characters[i]));
    bool typed = w.x11->type(text.data(), text.size(), [&w](char32_t c) { reportUntypable(w, "display's", c); });
    // A lost display stays lost: drop it, and report no more.
    if (!typed) w.x11.reset();
    return typed;
  }
  if (w.uinput == nullptr) return false;
  for (std::size_t i = 0; i < count; ++i) {
    char32_t character = codePoint(characters[i]);
    std::optional<KeyStroke> stroke = usKeyStroke(character);
    if (!stroke) {
      reportUntypable(w, "us", character);
    } else if (!w.uinput->type(*stroke)) {
      w.uinput.reset();  // the device is gone or refuses: one problem, then nothing
      return false;
    }
  }
  return true;
}

bool keyEvent(Wedge &w, std::uint8_t virtualKey, bool keyUp) {
  if (w.uinput == nullptr && w.x11 == nullptr) return false;
  std::optional<VirtualKeyTarget> target = virtualKeyTarget(virtualKey);
  if (!target) {
    char text[64];
    std::snprintf(text, sizeof text, "keyboard wedge: no key for virtual key 0x%02X", virtualKey);
    reportTerminalProblem(text);
    return true;
  }
  bool sent = w.x11 != nullptr ? w.x11->key(target->keysym, !keyUp) : w.uinput->key(target->code, !keyUp);
  if (!sent) {
    w.uinput.reset();
    w.x11.reset();
  }
  return sent;
}

}  // namespace

// The callers are C entry points: nothing may escape (std::bad_alloc from a
// problem's text or the character buffer means nothing more is done).
void startKeyboardWedge() {
  Wedge *state = gWedge.get();
  if (state == nullptr) return;
  Wedge &w = *state;
  std::lock_guard guard(w.lock);
  if (w.uinput != nullptr || w.x11 != nullptr) return;
  w.reported.clear();
  try {
    std::string kind = terminalSetting("READER_KEYBOARD").value_or("none");
    if (kind == "uinput") {
      startUinput(w);
    } else if (kind == "x11") {
      w.x11 = XTestKeyboard::open();
    } else if (kind != "none" && !kind.empty()) {
      reportTerminalProblem("keyboard wedge: READER_KEYBOARD=" + kind + " is not uinput, x11 or none");
    }
  } catch (...) {  // std::bad_alloc: no wedge
  }
}

void stopKeyboardWedge() {
  Wedge *state = gWedge.get();
  if (state == nullptr) return;
  Wedge &w = *state;
  std::lock_guard guard(w.lock);
  w.uinput.reset();
  w.x11.reset();
}

bool wedgeTypeCharacters(const std::int32_t *characters, std::size_t count) {
  Wedge *state = gWedge.get();
  if (state == nullptr) return false;
  Wedge &w = *state;
  std::lock_guard guard(w.lock);
  try {
    return typeCharacters(w, characters, count);
  } catch (...) {
    return false;
  }
}

bool wedgeKeyEvent(std::uint8_t virtualKey, bool keyUp) {
  Wedge *state = gWedge.get();
  if (state == nullptr) return false;
  Wedge &w = *state;
  std::lock_guard guard(w.lock);
  try {
    return keyEvent(w, virtualKey, keyUp);
  } catch (...) {
    return false;
  }
}

}  // namespace reader::platform::posix
