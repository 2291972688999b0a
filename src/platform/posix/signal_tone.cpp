#include "platform/posix/signal_tone.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace reader::platform::posix {
namespace {

constexpr double kAmplitude = 16384.0;  // half of full scale
constexpr unsigned kFadeMs = 5;

}  // namespace

PcmSound makeSignalTone() {
  PcmSound tone;
  tone.channels = 1;
  tone.rate = kSignalToneRate;
  tone.bitsPerSample = 16;
  const unsigned frames = kSignalToneRate / 1000 * kSignalToneMs;
  const unsigned fadeFrames = kSignalToneRate / 1000 * kFadeMs;
  tone.samples.resize(static_cast<std::size_t>(frames) * 2);
  for (unsigned i = 0; i < frames; ++i) {
    const double fade = std::min(1.0, static_cast<double>(std::min(i, frames - 1 - i)) / fadeFrames);
    const double phase = 2.0 * std::numbers::pi * kSignalToneHz * i / kSignalToneRate;
    const auto sample = static_cast<std::int16_t>(std::lround(kAmplitude * fade * std::sin(phase)));
    const auto bits = static_cast<std::uint16_t>(sample);
    tone.samples[2 * i] = static_cast<std::uint8_t>(bits & 0xFF);
    tone.samples[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
  }
  return tone;
}

}  // namespace reader::platform::posix
