// Plays one sound at a time through ALSA on a thread of its own, so callers
// never wait for the sound card. A new sound stops the one that is playing;
// the thread notices a stop between chunks of a few milliseconds of sound.
// The device is opened for each sound and closed after it, so another
// program can use the sound card in between. Safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/alsa_library.h"
#include "platform/posix/pcm_sound.h"

namespace reader::platform::posix {

enum class SoundKind { file, tone };

struct SoundRequest {
  std::shared_ptr<const PcmSound> sound;
  std::string device;  // the ALSA PCM name
  const AlsaLibrary *alsa = nullptr;
  SoundKind kind = SoundKind::file;
  bool loop = false;  // again and again until stopped
};

// Starts playing `request`, stopping what is playing. The request's number
// (for waitPlayingDone), or 0 when the player's thread could not start.
std::uint64_t startPlaying(SoundRequest request);

// Stops the sound that is playing or about to, if any.
void stopPlaying();

// Stops the tone of `SoundKind::tone`, if one is playing; leaves a file alone.
void stopPlayingTone();

// Waits until request `number` has ended (played, stopped or failed); false
// after `timeout`.
bool waitPlayingDone(std::uint64_t number, std::chrono::milliseconds timeout);

// Waits until nothing is playing and nothing is about to; false after `timeout`.
bool waitSoundIdle(std::chrono::milliseconds timeout);

}  // namespace reader::platform::posix
