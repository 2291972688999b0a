#include "platform/posix/virtual_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace reader::platform::posix {
namespace {

struct VirtualKey {
  std::uint8_t virtualKey;
  std::uint16_t code;
  std::uint32_t keysym;
};

// Letter and digit virtual keys are the keys' upper-case ASCII values; their
// keysyms are the unshifted characters. 0x0A has no Windows meaning: the
// library sends a record's line feed as that virtual key, and Enter is what
// a line feed means to whoever receives the typing.
// clang-format off
constexpr VirtualKey kVirtualKeys[] = {
    {0x08, KEY_BACKSPACE, 0xFF08}, {0x09, KEY_TAB, 0xFF09},        {0x0A, KEY_ENTER, 0xFF0D},
    {0x0D, KEY_ENTER, 0xFF0D},     {0x10, KEY_LEFTSHIFT, 0xFFE1},  {0x11, KEY_LEFTCTRL, 0xFFE3},
    {0x12, KEY_LEFTALT, 0xFFE9},   {0x13, KEY_PAUSE, 0xFF13},      {0x14, KEY_CAPSLOCK, 0xFFE5},
    {0x1B, KEY_ESC, 0xFF1B},       {0x20, KEY_SPACE, 0x0020},      {0x21, KEY_PAGEUP, 0xFF55},
    {0x22, KEY_PAGEDOWN, 0xFF56},  {0x23, KEY_END, 0xFF57},        {0x24, KEY_HOME, 0xFF50},
    {0x25, KEY_LEFT, 0xFF51},      {0x26, KEY_UP, 0xFF52},         {0x27, KEY_RIGHT, 0xFF53},
    {0x28, KEY_DOWN, 0xFF54},      {0x2D, KEY_INSERT, 0xFF63},     {0x2E, KEY_DELETE, 0xFFFF},
    {0x30, KEY_0, '0'}, {0x31, KEY_1, '1'}, {0x32, KEY_2, '2'}, {0x33, KEY_3, '3'}, {0x34, KEY_4, '4'},
    {0x35, KEY_5, '5'}, {0x36, KEY_6, '6'}, {0x37, KEY_7, '7'}, {0x38, KEY_8, '8'}, {0x39, KEY_9, '9'},
    {0x41, KEY_A, 'a'}, {0x42, KEY_B, 'b'}, {0x43, KEY_C, 'c'}, {0x44, KEY_D, 'd'}, {0x45, KEY_E, 'e'},
    {0x46, KEY_F, 'f'}, {0x47, KEY_G, 'g'}, {0x48, KEY_H, 'h'}, {0x49, KEY_I, 'i'}, {0x4A, KEY_J, 'j'},
    {0x4B, KEY_K, 'k'}, {0x4C, KEY_L, 'l'}, {0x4D, KEY_M, 'm'}, {0x4E, KEY_N, 'n'}, {0x4F, KEY_O, 'o'},
    {0x50, KEY_P, 'p'}, {0x51, KEY_Q, 'q'}, {0x52, KEY_R, 'r'}, {0x53, KEY_S, 's'}, {0x54, KEY_T, 't'},
    {0x55, KEY_U, 'u'}, {0x56, KEY_V, 'v'}, {0x57, KEY_W, 'w'}, {0x58, KEY_X, 'x'}, {0x59, KEY_Y, 'y'},
    {0x5A, KEY_Z, 'z'},
    {0x60, KEY_KP0, 0xFFB0}, {0x61, KEY_KP1, 0xFFB1}, {0x62, KEY_KP2, 0xFFB2}, {0x63, KEY_KP3, 0xFFB3},
    {0x64, KEY_KP4, 0xFFB4}, {0x65, KEY_KP5, 0xFFB5}, {0x66, KEY_KP6, 0xFFB6}, {0x67, KEY_KP7, 0xFFB7},
    {0x68, KEY_KP8, 0xFFB8}, {0x69, KEY_KP9, 0xFFB9},
    {0x70, KEY_F1, 0xFFBE},  {0x71, KEY_F2, 0xFFBF},  {0x72, KEY_F3, 0xFFC0},  {0x73, KEY_F4, 0xFFC1},
    {0x74, KEY_F5, 0xFFC2},  {0x75, KEY_F6, 0xFFC3},  {0x76, KEY_F7, 0xFFC4},  {0x77, KEY_F8, 0xFFC5},
    {0x78, KEY_F9, 0xFFC6},  {0x79, KEY_F10, 0xFFC7}, {0x7A, KEY_F11, 0xFFC8}, {0x7B, KEY_F12, 0xFFC9},
    {0xA0, KEY_LEFTSHIFT, 0xFFE1}, {0xA1, KEY_RIGHTSHIFT, 0xFFE2}, {0xA2, KEY_LEFTCTRL, 0xFFE3},
    {0xA3, KEY_RIGHTCTRL, 0xFFE4}, {0xA4, KEY_LEFTALT, 0xFFE9},    {0xA5, KEY_RIGHTALT, 0xFFEA},
};
// clang-format on

}  // namespace

std::optional<VirtualKeyTarget> virtualKeyTarget(std::uint8_t virtualKey) {
  for (const VirtualKey &key : kVirtualKeys) {
    if (key.virtualKey == virtualKey) return VirtualKeyTarget{key.code, key.keysym};
  }
  return std::nullopt;
}

std::vector<std::uint16_t> virtualKeyCodes() {
  std::vector<std::uint16_t> codes;
  for (const VirtualKey &key : kVirtualKeys) codes.push_back(key.code);
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

}  // namespace reader::platform::posix
