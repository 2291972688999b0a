#include "api/good_read_feedback.h"

#include <algorithm>
#include <new>
#include <string>

#include "platform/device_outputs.h"

namespace reader {

namespace {

// Only the first handheld model has the audio driver's signal and indicator.
constexpr int kModelWithAudioDriver = 1;

// Audio driver commands and the record that carries them: 32-bit
// little-endian fields, every other byte 0.
constexpr std::uint32_t kSignalCommand = 0x1122;
constexpr std::uint32_t kIndicatorOnCommand = 0x7777;
constexpr std::uint32_t kIndicatorOffCommand = 0x8888;
constexpr std::uint32_t kSignalParameter = 2;
constexpr int kCommandOffset = 4;
constexpr int kParameterOffset = 12;
constexpr int kSwitchOffset = 16;

constexpr std::uint32_t kIndicatorUnitMs = 100;
constexpr std::uint32_t kVibrateUnitMs = 500;

// Play from a file, do not wait when the device is busy, return at once.
constexpr std::uint32_t kPlayFileFlags = 0x22001;
// No sound, asynchronous: stops the one that is playing.
constexpr std::uint32_t kStopFlags = 0x1;

constexpr const char16_t *kSoundFolder = u"\\Windows\\";
// Indexed by good-read sound number.
constexpr const char16_t *kGoodReadSounds[] = {
    nullptr, u"Default", u"Hwandsw", u"MenuPop", u"MsgBox", u"Notify", u"VoicBeep", u"Alarm2", u"Alarm3", u"LowBatt",
};
constexpr int kGoodReadSoundCount = static_cast<int>(sizeof kGoodReadSounds / sizeof kGoodReadSounds[0]);

void putLe32(std::uint8_t (&record)[20], int offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void sendAudioRecord(std::uint32_t command, std::uint32_t parameter, std::uint32_t switchValue) {
  std::uint8_t record[20] = {};
  putLe32(record, kCommandOffset, command);
  putLe32(record, kParameterOffset, parameter);
  putLe32(record, kSwitchOffset, switchValue);
  platform::sendAudioCommand(record);
}

void pauseUnits(Pause pause, int units, std::uint32_t unitMs) {
  const std::uint64_t ms = static_cast<std::uint64_t>(std::max(units, 0)) * unitMs;
  pause(static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, UINT32_MAX)));
}

bool hasAudioDriver(const ReaderDevice &device) { return device.model == kModelWithAudioDriver; }

}  // namespace

void sendGoodReadSignal(const ReaderDevice &device, int time, Pause pause) {
  if (time == 0) return;
  time = std::min(time, kMaxGoodReadTime);
  if (!hasAudioDriver(device)) return;
  sendAudioRecord(kSignalCommand, kSignalParameter, 1);
  pauseUnits(pause, time, 1);
  sendAudioRecord(kSignalCommand, kSignalParameter, 0);
}

void sendGoodReadIndicator(const ReaderDevice &device, int time, int mode, Pause pause) {
  if (time == 0) return;
  time = std::min(time, kMaxGoodReadTime);
  if (!hasAudioDriver(device)) return;
  sendAudioRecord(kIndicatorOnCommand, static_cast<std::uint32_t>(mode), 0);
  pauseUnits(pause, time, kIndicatorUnitMs);
  sendAudioRecord(kIndicatorOffCommand, 0, 0);
}

void stopSound() { platform::playSound(nullptr, kStopFlags); }

void playSoundFile(const char16_t *path) { platform::playSound(path, kPlayFileFlags); }

void playGoodReadSound(int number) {
  stopSound();
  if (number < 1 || number >= kGoodReadSoundCount) return;
  try {
    const std::u16string path = std::u16string(kSoundFolder) + kGoodReadSounds[number];
    playSoundFile(path.c_str());
  } catch (const std::bad_alloc &) {  // the sound is not played
  }
}

bool switchVibrator(int on) { return platform::switchVibrator(on != 0); }

void pulseVibrator(int time, Pause pause) {
  switchVibrator(1);
  pauseUnits(pause, time, kVibrateUnitMs);
  switchVibrator(0);
}

void vibrate(int time, Pause pause) {
  if (time != 0) pulseVibrator(time, pause);
}

void runGoodReadFeedback(Library &library, Pause pause) {
  const LibraryOptions &options = library.options;
  sendGoodReadSignal(library.device, options.goodReadSignalTime, pause);
  sendGoodReadIndicator(library.device, options.goodReadIndicatorTime, options.goodReadIndicatorMode, pause);
  playGoodReadSound(options.goodReadSound);
}

}  // namespace reader
