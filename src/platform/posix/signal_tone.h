// The good-read signal's tone: what the audio driver's beeper would sound,
// made as samples for the sound card.
#pragma once

#include "platform/posix/pcm_sound.h"

namespace reader::platform::posix {

inline constexpr unsigned kSignalToneHz = 2700;  // a scanner's usual beep
inline constexpr unsigned kSignalToneRate = 48000;
// The longest good-read signal the library sends: the "off" record normally
// ends the tone sooner.
inline constexpr unsigned kSignalToneMs = 255;

// A 16-bit mono sine at half of full scale, faded in and out over a few
// milliseconds so that starting and stopping it does not click.
PcmSound makeSignalTone();

}  // namespace reader::platform::posix
