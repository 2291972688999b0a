// One entry of a simulated device's traffic log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace readersim {

enum class RecordType {
  FromHost,      // bytes the device received: one frame as the device framed it
  ToHost,        // an answer (or injected bytes) the device sent or meant to send
  HostOpened,    // the host opened its end of the port
  HostClosed,    // the host closed its end of the port
  SpeedChanged,  // the device moved to another line speed (deviceSpeed holds it)
  Vanished       // the device closed its end for good
};

// Flags of a record; any combination.
namespace traffic_flag {
// Received while the host's line speed differed from the device's: the
// device saw noise and ignored it.
inline constexpr unsigned kGarbled = 1u << 0;
// A packet whose checksum did not match.
inline constexpr unsigned kBadChecksum = 1u << 1;
// An answer that was due but not sent: the host's speed differed, the host
// had the port closed, or the write failed.
inline constexpr unsigned kNotSent = 1u << 2;
// Bytes sent on request of a test (injectBytes), not as an answer.
inline constexpr unsigned kInjected = 1u << 3;
// A partial frame given up after the line fell silent.
inline constexpr unsigned kIncomplete = 1u << 4;
// Bytes that frame as nothing the device knows (skipped while resynchronising).
inline constexpr unsigned kMalformed = 1u << 5;
// A complete frame the device did not act on because a fault control told it
// to stay silent.
inline constexpr unsigned kIgnored = 1u << 6;
// An SSI packet that arrived while the host held the engine's wake line
// asserted. Only set once a wake line is connected (SsiEngine::setWakeLine).
inline constexpr unsigned kWakeAsserted = 1u << 7;
}  // namespace traffic_flag

struct TrafficRecord {
  std::int64_t timeNs = 0;  // steady (monotonic) clock
  RecordType type = RecordType::FromHost;
  std::vector<std::uint8_t> bytes;
  int hostSpeed = 0;    // the host's line speed then, bit/s; 0 when unknown
  int deviceSpeed = 0;  // the device's own speed then, bit/s
  unsigned flags = 0;

  bool has(unsigned flag) const { return (flags & flag) != 0; }
  std::string text() const { return {bytes.begin(), bytes.end()}; }
  // A whole frame received from the host (ignored and bad-checksum frames
  // included; noise, partial frames and skipped garbage excluded).
  bool isFrame() const;
  // An answer that reached the host.
  bool isSentAnswer() const;
};

// One line for people: time, type, speeds, flags, hex and printable text.
std::string describe(const TrafficRecord &record);

}  // namespace readersim
