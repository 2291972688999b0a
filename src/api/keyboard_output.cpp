#include "api/keyboard_output.h"

#include <cstdint>
#include <new>
#include <vector>

#include "platform/device_outputs.h"

namespace reader {

namespace {

constexpr std::int16_t kLineFeed = 10;
constexpr std::int16_t kCarriageReturn = 13;

void pressAndRelease(std::uint8_t virtualKey) {
  platform::sendKeyEvent(virtualKey, false);
  platform::sendKeyEvent(virtualKey, true);
}

}  // namespace

void typeRecord(const ByteString &record) noexcept {
  // One buffer for all runs, taken before anything is typed, so that a
  // failed allocation cannot cut a record in half.
  std::vector<std::int32_t> characters;
  try {
    characters.reserve(record.length());
  } catch (const std::bad_alloc &) {
    return;
  }
  std::size_t runStart = 0;
  const auto postRun = [&] {
    if (characters.size() > runStart)
      platform::postKeyboardCharacters(characters.data() + runStart, characters.size() - runStart);
    runStart = characters.size();
  };
  for (std::uint32_t i = 0; i < record.length(); ++i) {
    const std::int16_t element = record.at(i);
    if (element == kLineFeed || element == kCarriageReturn) {
      postRun();
      pressAndRelease(static_cast<std::uint8_t>(element));
      continue;
    }
    // The record went through an 8-bit buffer; its low 8 bits are the byte.
    characters.push_back(element & 0xFF);
  }
  postRun();
}

}  // namespace reader
