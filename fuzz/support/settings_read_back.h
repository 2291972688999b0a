// What GetReaderSettings must report of the library options after
// SetReaderSettings took a record, whatever the engine section holds.
#pragma once

#include <3100XE_DLL.h>

#include <array>
#include <cstdint>
#include <string>

namespace readerfuzz {

using SettingsRecord = std::array<std::uint8_t, READER_SETTINGS_RECORD_SIZE>;

inline constexpr int kOptionsFirst = 311;
inline constexpr int kOptionsLast = 375;

// A text field of `size` bytes: the characters up to the first 0, at most
// size - 1 of them.
std::string optionText(const SettingsRecord &record, int offset, int size);

// The option section (bytes 311 to 375) as it reads back after `written`
// was applied; every other byte 0.
SettingsRecord optionsReadBack(const SettingsRecord &written);

// The output record's prefix and suffix as a record sets them.
inline std::string outputPrefix(const SettingsRecord &record) { return optionText(record, 349, 11); }
inline std::string outputSuffix(const SettingsRecord &record) { return optionText(record, 360, 11); }

}  // namespace readerfuzz
