// The terminal's driver outputs on POSIX: each output goes to the host's
// output listener (ReaderHostSetOutputListener) as a ReaderOutput, and the
// outputs the host does not handle itself (ReaderHostSetHandledOutputs) go to
// the devices the terminal's configuration names: the vibrator, the sound
// through ALSA, the keyboard wedge. The "drivers" always take the request:
// what a missing device cannot do is skipped, as on a terminal without it.
#include "platform/device_outputs.h"

#include <climits>
#include <string>

#include "3100XE_DLL.h"
#include "platform/posix/host_listeners.h"
#include "platform/posix/keyboard_wedge.h"
#include "platform/posix/sound_output.h"
#include "platform/posix/vibrator_output.h"

namespace reader::platform {
namespace {

void appendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 (0-terminated) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(const char16_t *text) {
  std::string out;
  for (const char16_t *p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(p[1]) - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

}  // namespace

bool switchVibrator(bool on) {
  ReaderOutput output{};
  output.kind = READER_OUTPUT_VIBRATOR;
  output.value = on ? 1 : 0;
  posix::emitOutput(output);
  if (!posix::hostHandlesOutput(READER_OUTPUT_VIBRATOR)) posix::driveVibrator(on);
  return true;
}

bool sendAudioCommand(const std::uint8_t (&record)[20]) {
  ReaderOutput output{};
  output.kind = READER_OUTPUT_AUDIO;
  // The command code: the 32-bit little-endian value at offset 4.
  output.value =
      static_cast<long>(static_cast<std::uint32_t>(record[4]) | static_cast<std::uint32_t>(record[5]) << 8 |
                        static_cast<std::uint32_t>(record[6]) << 16 | static_cast<std::uint32_t>(record[7]) << 24);
  output.data = record;
  output.dataLength = static_cast<int>(sizeof record);
  posix::emitOutput(output);
  if (!posix::hostHandlesOutput(READER_OUTPUT_AUDIO)) posix::playAudioRecord(record);
  return true;
}

void playSound(const char16_t *path, std::uint32_t flags) {
  ReaderOutput output{};
  output.kind = READER_OUTPUT_SOUND;
  output.value = static_cast<long>(flags);
  const bool played = !posix::hostHandlesOutput(READER_OUTPUT_SOUND);
  if (path == nullptr) {
    posix::emitOutput(output);  // text NULL: stop the playing sound
    if (played) posix::playSoundFile(nullptr, flags);
    return;
  }
  try {
    std::string text = toUtf8(path);
    output.text = text.c_str();
    posix::emitOutput(output);
    if (played) posix::playSoundFile(text.c_str(), flags);
  } catch (...) {  // std::bad_alloc: the sound is not played
  }
}

void postKeyboardCharacters(const std::int32_t *characters, std::size_t count) {
  ReaderOutput output{};
  output.kind = READER_OUTPUT_KEY_CHARS;
  output.data = characters;
  output.dataLength = static_cast<int>(count > INT_MAX ? INT_MAX : count);
  posix::emitOutput(output);
  if (!posix::hostHandlesOutput(READER_OUTPUT_KEY_CHARS)) posix::wedgeTypeCharacters(characters, count);
}

void sendKeyEvent(std::uint8_t virtualKey, bool keyUp) {
  ReaderOutput output{};
  output.kind = READER_OUTPUT_KEY_EVENT;
  output.value = virtualKey;
  output.value2 = keyUp ? 1 : 0;
  posix::emitOutput(output);
  if (!posix::hostHandlesOutput(READER_OUTPUT_KEY_EVENT)) posix::wedgeKeyEvent(virtualKey, keyUp);
}

}  // namespace reader::platform
