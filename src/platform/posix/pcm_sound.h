// A sound as the sound card takes it: interleaved PCM frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reader::platform::posix {

struct PcmSound {
  unsigned channels = 1;        // 1 (mono) or 2 (stereo, left first)
  unsigned rate = 0;            // frames per second
  unsigned bitsPerSample = 16;  // 8: unsigned; 16: signed little-endian
  std::vector<std::uint8_t> samples;

  std::size_t frameBytes() const { return static_cast<std::size_t>(channels) * (bitsPerSample / 8); }
  std::size_t frames() const { return frameBytes() == 0 ? 0 : samples.size() / frameBytes(); }
};

}  // namespace reader::platform::posix
