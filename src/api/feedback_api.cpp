// Sounds and vibration on an application's request.
#include <3100XE_DLL.h>

#include <string>

#include "api/api_guard.h"
#include "api/good_read_feedback.h"

namespace reader {

namespace {

// The number that asks for a sound by name instead.
constexpr int kSoundByName = -1;
constexpr int kVibratorOff = 0;
constexpr int kVibratorTimed = 1;

int beeper(int number, const char *name) {
  if (number != kSoundByName) {
    stopSound();
    playGoodReadSound(number);
    return READER_OK;
  }
  if (name == nullptr) return READER_ERR_NO_SOUND;
  stopSound();
  // Each byte becomes the character of the same value: the path is taken
  // as Latin-1, never as a sign-extended negative.
  std::u16string path;
  for (const char *p = name; *p != 0; ++p) path.push_back(static_cast<unsigned char>(*p));
  playSoundFile(path.c_str());
  return READER_OK;
}

int setVibrator(int mode, int time) {
  if (mode == kVibratorOff) {
    switchVibrator(0);
  } else if (mode == kVibratorTimed) {
    pulseVibrator(time);  // on the caller's thread, for the whole time
  }
  return READER_OK;
}

}  // namespace

}  // namespace reader

extern "C" {

READER_API int READER_CALL Beeper(int number, const char *name) {
  return reader::guarded(READER_OK, [number, name] { return reader::beeper(number, name); });
}

READER_API int READER_CALL SetVibrator(int mode, int time) {
  return reader::guarded(READER_OK, [mode, time] { return reader::setVibrator(mode, time); });
}

}  // extern "C"
