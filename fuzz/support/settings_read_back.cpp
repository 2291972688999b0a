#include "support/settings_read_back.h"

#include <algorithm>

namespace readerfuzz {

std::string optionText(const SettingsRecord &record, int offset, int size) {
  std::string text;
  for (int i = 0; i < size - 1 && record[offset + i] != 0; ++i) text.push_back(static_cast<char>(record[offset + i]));
  return text;
}

SettingsRecord optionsReadBack(const SettingsRecord &w) {
  SettingsRecord r{};
  // Plain bytes, each read back as written. Byte 318's 255 stands for the
  // family's first block (-1) and reads back as 255 again.
  for (int offset : {311, 312, 314, 318, 319, 342, 343, 346, 347, 348, 371, 372, 373, 374, 375}) r[offset] = w[offset];
  // The vibration time counts only with its switch on.
  const int vibrate = w[344] != 0 ? w[345] : 0;
  r[344] = vibrate != 0 ? 1 : 0;
  r[345] = static_cast<std::uint8_t>(vibrate);
  struct Text {
    int offset, size;
  };
  // The auto-read key, the output prefix and suffix.
  for (const Text t : {Text{321, 15}, Text{349, 11}, Text{360, 11}}) {
    const std::string text = optionText(w, t.offset, t.size);
    std::copy(text.begin(), text.end(), r.begin() + t.offset);
  }
  return r;
}

}  // namespace readerfuzz
