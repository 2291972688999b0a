// WAV files: a RIFF header ("RIFF", size, "WAVE") and chunks of a 4-byte
// name, a 32-bit little-endian size and that many bytes (plus a pad byte when
// the size is odd). The "fmt " chunk must come before the "data" chunk.
#include "platform/posix/wav_file.h"

#include <cstring>

namespace reader::platform::posix {
namespace {

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kPcmFormatBytes = 16;
constexpr std::size_t kExtensibleFormatBytes = 40;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// Rates outside this range are no sound a terminal plays but a damaged header.
constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 384000;

std::uint16_t le16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t le32(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool named(const std::uint8_t *p, const char (&name)[5]) { return std::memcmp(p, name, 4) == 0; }

// Reads the "fmt " chunk into `sound` (no samples yet).
bool readFormat(const std::uint8_t *chunk, std::size_t size, PcmSound &sound, std::string &problem) {
  if (size < kPcmFormatBytes) {
    problem = "damaged WAV format chunk";
    return false;
  }
  std::uint16_t format = le16(chunk);
  // WAVE_FORMAT_EXTENSIBLE names the real format in the first two bytes of its sub-format GUID.
  if (format == kFormatExtensible && size >= kExtensibleFormatBytes) format = le16(chunk + 24);
  const unsigned channels = le16(chunk + 2);
  const std::uint32_t rate = le32(chunk + 4);
  const unsigned blockAlign = le16(chunk + 12);
  const unsigned bits = le16(chunk + 14);
  if (format != kFormatPcm || (bits != 8 && bits != 16) || (channels != 1 && channels != 2)) {
    problem = "unsupported WAV format (PCM, 8 or 16 bits, mono or stereo only)";
    return false;
  }
  if (rate < kMinRate || rate > kMaxRate || blockAlign != channels * bits / 8) {
    problem = "damaged WAV format chunk";
    return false;
  }
  sound.channels = channels;
  sound.rate = rate;
  sound.bitsPerSample = bits;
  return true;
}

}  // namespace

std::optional<PcmSound> parseWav(const std::uint8_t *bytes, std::size_t size, std::string &problem) {
  if (size < kRiffHeaderBytes || !named(bytes, "RIFF") || !named(bytes + 8, "WAVE")) {
    problem = "not a WAV file";
    return std::nullopt;
  }
  // The RIFF size is often wrong in files that play fine elsewhere: the chunks
  // are walked within the file's real length instead.
  PcmSound sound;
  bool haveFormat = false;
  std::size_t offset = kRiffHeaderBytes;
  while (size - offset >= kChunkHeaderBytes) {
    const std::uint8_t *header = bytes + offset;
    const std::size_t chunkSize = le32(header + 4);
    offset += kChunkHeaderBytes;
    const std::size_t available = size - offset;
    if (named(header, "fmt ")) {
      if (chunkSize > available) break;
      if (!readFormat(bytes + offset, chunkSize, sound, problem)) return std::nullopt;
      haveFormat = true;
    } else if (named(header, "data")) {
      if (!haveFormat) {
        problem = "WAV data before its format";
        return std::nullopt;
      }
      if (chunkSize > available) break;
      // A partial frame at the end is dropped rather than played as noise.
      const std::size_t whole = chunkSize - chunkSize % sound.frameBytes();
      sound.samples.assign(bytes + offset, bytes + offset + whole);
      return sound;
    }
    if (chunkSize > available) break;
    offset += chunkSize + (chunkSize & 1);
    if (offset > size) break;
  }
  problem = "truncated WAV file";
  return std::nullopt;
}

}  // namespace reader::platform::posix
