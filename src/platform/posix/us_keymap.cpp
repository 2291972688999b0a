#include "platform/posix/us_keymap.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <array>

namespace reader::platform::posix {
namespace {

// One key of the layout: what it types alone and with shift (0: nothing).
struct LayoutKey {
  std::uint16_t code;
  char plain;
  char shifted;
};

// clang-format off
constexpr LayoutKey kUsLayout[] = {
    {KEY_GRAVE, '`', '~'},       {KEY_1, '1', '!'},          {KEY_2, '2', '@'},         {KEY_3, '3', '#'},
    {KEY_4, '4', '$'},           {KEY_5, '5', '%'},          {KEY_6, '6', '^'},         {KEY_7, '7', '&'},
    {KEY_8, '8', '*'},           {KEY_9, '9', '('},          {KEY_0, '0', ')'},         {KEY_MINUS, '-', '_'},
    {KEY_EQUAL, '=', '+'},
    {KEY_Q, 'q', 'Q'},           {KEY_W, 'w', 'W'},          {KEY_E, 'e', 'E'},         {KEY_R, 'r', 'R'},
    {KEY_T, 't', 'T'},           {KEY_Y, 'y', 'Y'},          {KEY_U, 'u', 'U'},         {KEY_I, 'i', 'I'},
    {KEY_O, 'o', 'O'},           {KEY_P, 'p', 'P'},          {KEY_LEFTBRACE, '[', '{'}, {KEY_RIGHTBRACE, ']', '}'},
    {KEY_BACKSLASH, '\\', '|'},
    {KEY_A, 'a', 'A'},           {KEY_S, 's', 'S'},          {KEY_D, 'd', 'D'},         {KEY_F, 'f', 'F'},
    {KEY_G, 'g', 'G'},           {KEY_H, 'h', 'H'},          {KEY_J, 'j', 'J'},         {KEY_K, 'k', 'K'},
    {KEY_L, 'l', 'L'},           {KEY_SEMICOLON, ';', ':'},  {KEY_APOSTROPHE, '\'', '"'},
    {KEY_Z, 'z', 'Z'},           {KEY_X, 'x', 'X'},          {KEY_C, 'c', 'C'},         {KEY_V, 'v', 'V'},
    {KEY_B, 'b', 'B'},           {KEY_N, 'n', 'N'},          {KEY_M, 'm', 'M'},         {KEY_COMMA, ',', '<'},
    {KEY_DOT, '.', '>'},         {KEY_SLASH, '/', '?'},
    {KEY_SPACE, ' ', 0},         {KEY_TAB, '\t', 0},         {KEY_ENTER, '\n', 0},      {KEY_ENTER, '\r', 0},
    {KEY_BACKSPACE, '\b', 0},    {KEY_ESC, '\x1b', 0},
};
// clang-format on

struct Entry {
  std::uint16_t code = 0;  // 0: no key types it
  bool shift = false;
};

// The layout turned round: ASCII character -> stroke.
constexpr std::array<Entry, 128> kByCharacter = [] {
  std::array<Entry, 128> table{};
  for (const LayoutKey &key : kUsLayout) {
    table[static_cast<unsigned char>(key.plain)] = {key.code, false};
    if (key.shifted != 0) table[static_cast<unsigned char>(key.shifted)] = {key.code, true};
  }
  return table;
}();

}  // namespace

std::optional<KeyStroke> usKeyStroke(char32_t character) {
  if (character >= kByCharacter.size() || kByCharacter[character].code == 0) return std::nullopt;
  return KeyStroke{kByCharacter[character].code, kByCharacter[character].shift};
}

std::vector<std::uint16_t> usKeymapKeys() {
  std::vector<std::uint16_t> keys{KEY_LEFTSHIFT};
  for (const LayoutKey &key : kUsLayout) keys.push_back(key.code);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

}  // namespace reader::platform::posix
