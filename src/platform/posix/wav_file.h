// WAV files: RIFF/WAVE with uncompressed PCM, 8 or 16 bits, mono or stereo,
// at any rate. Anything else is refused with a reason, never half-read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/pcm_sound.h"

namespace reader::platform::posix {

// The sound in the `size` bytes of a WAV file; nullopt with `problem` set
// (a short phrase such as "not a WAV file") when they hold none we can play.
std::optional<PcmSound> parseWav(const std::uint8_t *bytes, std::size_t size, std::string &problem);

}  // namespace reader::platform::posix
