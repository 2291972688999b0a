// Sounds on a Linux terminal: the good-read sound files and the audio
// driver's good-read signal, played through ALSA (libasound.so.2, loaded when
// first needed). Off unless configured:
//   READER_SOUND_DIR    the directory of the sound files (WAV);
//   READER_ALSA_DEVICE  the ALSA PCM to play on (default "default").
// A missing library or sound card, or a device that does not open, leaves
// the terminal silent and is reported once (reportTerminalProblem). Safe
// from any thread. waitSoundIdle (sound_player.h) waits for the end of
// what is playing.
#pragma once

#include <cstdint>

namespace reader::platform::posix {

// Plays the sound file (UTF-8 path as the library names it, e.g. "\\Windows\\goodread.wav" or a
// bare name: its base name is looked up in READER_SOUND_DIR); nullptr stops. false when not played.
// The file is READER_SOUND_DIR/<base name>, else that with ".wav" added, matched without regard
// to case when no exact name exists. The sound starts playing at once and stops the one that was
// playing. Of the flags, 0x1 (asynchronous) returns at once, else the call returns at the sound's
// end; 0x8 (loop, with 0x1) repeats the sound until another sound or a stop.
bool playSoundFile(const char *path, std::uint32_t flags);

// The 20-byte audio-driver record (see READER_OUTPUT_AUDIO in include/3100XE_DLL.h and
// src/platform/device_outputs.h): played as a short generated tone. false when not played.
// Only the good-read signal (command 0x1122) sounds: switch 1 starts the tone (at most 255 ms,
// the longest signal), switch 0 ends it. The indicator commands (0x7777, 0x8888) are not sounds:
// false.
bool playAudioRecord(const std::uint8_t (&record)[20]);

}  // namespace reader::platform::posix
