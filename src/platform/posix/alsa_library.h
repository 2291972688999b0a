// ALSA's PCM playback functions, from libasound.so.2 loaded at run time: the
// library builds and runs on a terminal without ALSA, which then has no
// sounds. Only what playing a sound needs is declared here, in ALSA's own
// types' sizes (its enums are ints, its frame counts longs).
#pragma once

#include <string>

namespace reader::platform::posix {

struct AlsaPcm;  // snd_pcm_t

// snd_pcm_stream_t, snd_pcm_format_t and snd_pcm_access_t values.
inline constexpr int kAlsaStreamPlayback = 0;
inline constexpr int kAlsaFormatU8 = 1;
inline constexpr int kAlsaFormatS16Le = 2;
inline constexpr int kAlsaAccessRwInterleaved = 3;

struct AlsaLibrary {
  int (*pcmOpen)(AlsaPcm **pcm, const char *name, int stream, int mode);
  int (*pcmSetParams)(AlsaPcm *pcm, int format, int access, unsigned channels, unsigned rate, int softResample,
                      unsigned latencyUs);
  long (*pcmWritei)(AlsaPcm *pcm, const void *buffer, unsigned long frames);
  int (*pcmDrain)(AlsaPcm *pcm);
  int (*pcmDrop)(AlsaPcm *pcm);
  int (*pcmRecover)(AlsaPcm *pcm, int error, int silent);
  int (*pcmClose)(AlsaPcm *pcm);
  const char *(*errorText)(int error);
};

// The loaded library, loaded at the first call (thread-safe) and kept for the
// process's life; nullptr with `problem` set when it is missing or lacks a
// function.
const AlsaLibrary *alsaLibrary(std::string &problem);

// For tests: `library` stands in for libasound from now on; nullptr goes
// back to the real one.
void replaceAlsaLibraryForTests(const AlsaLibrary *library);

}  // namespace reader::platform::posix
