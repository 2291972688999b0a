// Good-read sounds through ALSA, loaded at run time. Private to the POSIX
// backend.
#pragma once

#include <cstdint>

namespace reader::platform::posix {

// Plays the sound file (UTF-8 path as the library names it; its base name is
// looked up in READER_SOUND_DIR); nullptr stops. false when not played.
bool playSoundFile(const char *path, std::uint32_t flags);
// The 20-byte audio-driver record, played as a short generated tone. false
// when not played.
bool playAudioRecord(const std::uint8_t (&record)[20]);

}  // namespace reader::platform::posix
