// WAV files as bytes, written the way common tools write them, for the
// sound tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform_test {

inline void putLe(std::vector<std::uint8_t> &out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void putChunk(std::vector<std::uint8_t> &out, const char *name, const std::vector<std::uint8_t> &body) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(name[i]));
  putLe(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) out.push_back(0);  // RIFF pads odd chunks
}

inline std::vector<std::uint8_t> formatChunk(unsigned format, unsigned channels, unsigned rate, unsigned bits) {
  std::vector<std::uint8_t> body;
  putLe(body, format, 2);
  putLe(body, channels, 2);
  putLe(body, rate, 4);
  putLe(body, rate * channels * bits / 8, 4);
  putLe(body, channels * bits / 8, 2);
  putLe(body, bits, 2);
  return body;
}

// A whole file: RIFF header, the chunks given, the RIFF size filled in.
inline std::vector<std::uint8_t> riff(const std::vector<std::vector<std::uint8_t>> &chunks) {
  std::vector<std::uint8_t> out{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto &chunk : chunks) out.insert(out.end(), chunk.begin(), chunk.end());
  const auto size = static_cast<std::uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return out;
}

inline std::vector<std::uint8_t> chunk(const char *name, const std::vector<std::uint8_t> &body) {
  std::vector<std::uint8_t> out;
  putChunk(out, name, body);
  return out;
}

// A plain PCM WAV of `samples`.
inline std::vector<std::uint8_t> pcmWav(unsigned channels, unsigned rate, unsigned bits,
                                        const std::vector<std::uint8_t> &samples) {
  return riff({chunk("fmt ", formatChunk(1, channels, rate, bits)), chunk("data", samples)});
}

// `count` bytes that no simple fault (a dropped, repeated or swapped byte) leaves unchanged.
inline std::vector<std::uint8_t> noise(std::size_t count, std::uint32_t seed = 1) {
  std::vector<std::uint8_t> out(count);
  for (auto &byte : out) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(seed >> 16);
  }
  return out;
}

}  // namespace platform_test
