// The link protocol of each device kind, in one table entry per kind: how
// the library finds the device and sets its speed, wraps, sends and retries
// a command, switches an engine's scanning and reads and names its decodes.
// The rest of the core works through these entries and never asks which kind
// it talks to; adding a kind is one new file and one entry in
// link_protocol.cpp.
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/device_channel.h"
#include "core/scan_result.h"

namespace reader {

struct WaitCancel;

struct LinkProtocol {
  // The speed the link is brought to.
  int workingSpeed;
  // Not found at the working speed, the device is looked for at 9600 and
  // moved to the working speed (otherwise it runs at the working speed only).
  bool foundAt9600;

  // Reads one frame in the kind's framing (see readFrame); `decode` tells a
  // decode from a command's answer. An answer is never longer than
  // `longestAnswer` bytes, which bounds how long its reading may take.
  bool (*readFrame)(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, bool decode,
                    const WaitCancel *cancel);
  std::uint32_t longestAnswer;

  // Asks the device, at the speed set, whether it is there; may learn its
  // variant (moduleVariant; the SSI engines turn kind 3 into 4 or back).
  bool (*probe)(DeviceChannel &channel);
  // Asks the device to move its link to another speed; true when it accepted
  // (or has no speed to switch).
  bool (*switchSpeed)(DeviceChannel &channel, int bitsPerSecond);

  // The command exchange. `wrap` makes the frame sent for a command (the
  // SSI engines append the checksum to the command itself); `write` sends
  // it; an answer that `refused` accepts uses up the attempt. The answer is
  // waited for `answerTimeoutMs`, or the caller's time-out where that is 0.
  ByteString (*wrap)(ByteString &command);
  bool (*write)(DeviceChannel &channel, const ByteString &frame);
  bool (*refused)(const ByteString &answer);
  int answerTimeoutMs;

  // Barcode engines only (nullptr for the modules). `scan` switches the
  // engine's scanning; `readDecode` waits `timeoutMs` for a decode to begin
  // and names it; `acknowledgeDecode` answers a decode the engine repeats until
  // acknowledged (nullptr: none); `triggersItself` (nullptr: never) tells an
  // engine whose configuration makes it scan by itself; `filtersCode128`
  // says the engine's configuration may refuse Code 128 and EAN-128 decodes
  // it sent; `name` names a decode's data.
  bool (*scan)(DeviceChannel &channel, bool on, const WaitCancel *cancel) = nullptr;
  bool (*readDecode)(DeviceChannel &channel, ScanResult &out, int timeoutMs, const WaitCancel *cancel) = nullptr;
  void (*acknowledgeDecode)(DeviceChannel &channel) = nullptr;
  bool (*triggersItself)(const DeviceChannel &channel) = nullptr;
  bool filtersCode128 = false;
  void (*name)(const DeviceChannel &channel, ScanResult &result) = nullptr;
};

// What several kinds share: a command written as it stands, an answer never
// refused, no speed to switch.
inline ByteString commandAsWritten(ByteString &command) { return command; }
inline bool answerNeverRefused(const ByteString &) { return false; }
inline bool noSpeedToSwitch(DeviceChannel &, int) { return true; }

// The entry of a kind; nullptr for a kind the library does not know.
const LinkProtocol *linkProtocol(int kind);

// The entries, one file each.
extern const LinkProtocol kTextEngineLink;
extern const LinkProtocol kSsiEngine3Link;
extern const LinkProtocol kSsiEngine4Link;
extern const LinkProtocol kAsciiModuleLink;
extern const LinkProtocol kHexModuleLink;

}  // namespace reader
