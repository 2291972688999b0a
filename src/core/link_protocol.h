// The link protocol of each device kind, in one table entry per kind: how
// the library finds the device and sets its speed, wraps, sends and retries
// a command, switches an engine's scanning and reads and names its decodes.
// The rest of the core works through these entries and never asks which kind
// it talks to; adding a kind is one new file and one entry in
// link_protocol.cpp.
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/port_lock.h"
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
  bool (*readFrame)(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool decode,
                    const WaitCancel *cancel);
  std::uint32_t longestAnswer;

  // Asks the device, at the speed set, whether it is there; may learn its
  // variant (moduleVariant; the SSI engines turn kind 3 into 4 or back).
  bool (*probe)(const PortLock &lock);
  // Asks the device to move its link to another speed; true when it accepted
  // (or has no speed to switch).
  bool (*switchSpeed)(const PortLock &lock, int bitsPerSecond);

  // The command exchange. `wrap` makes the frame sent for a command; `write` sends
  // it; an answer that `refused` accepts uses up the attempt. The answer is
  // waited for `answerTimeoutMs`, or the caller's time-out where that is 0.
  ByteString (*wrap)(const ByteString &command);
  bool (*write)(const PortLock &lock, const ByteString &frame);
  bool (*refused)(const ByteString &answer);
  int answerTimeoutMs;

  // Barcode engines only (nullptr for the modules). `scan` switches the
  // engine's scanning; `readDecode` waits `timeoutMs` for a decode to begin
  // and names it; `acknowledgeDecode` answers a decode the engine repeats until
  // acknowledged (nullptr: none); `triggersItself` (nullptr: never) tells an
  // engine whose configuration makes it scan by itself; `filtersCode128`
  // says the engine's configuration may refuse Code 128 and EAN-128 decodes
  // it sent; `name` names a decode's data.
  bool (*scan)(const PortLock &lock, bool on, const WaitCancel *cancel) = nullptr;
  bool (*readDecode)(const PortLock &lock, ScanResult &out, int timeoutMs, const WaitCancel *cancel) = nullptr;
  void (*acknowledgeDecode)(const PortLock &lock) = nullptr;
  bool (*triggersItself)(const DeviceChannel &channel) = nullptr;
  bool filtersCode128 = false;
  void (*name)(const DeviceChannel &channel, ScanResult &result) = nullptr;

  // Reads the configuration the library keeps of the device into `out`
  // (the text engine's configuration block; the ASCII module's parameter
  // bytes, appended); nullptr: none.
  void (*readConfiguration)(const PortLock &lock, ByteString &out) = nullptr;
  // Sends the parameters the library works with, after the engine went back
  // to its own defaults; nullptr: none to send.
  bool (*sendDefaults)(const PortLock &lock) = nullptr;
};

// What several kinds share: a command written as it stands, an answer never
// refused, no speed to switch.
inline ByteString commandAsWritten(const ByteString &command) { return command; }
inline bool answerNeverRefused(const ByteString &) { return false; }
inline bool noSpeedToSwitch(const PortLock &, int) { return true; }

// The entry of a kind; nullptr for a kind the library does not know.
const LinkProtocol *linkProtocol(int kind);

// The entries, one file each.
extern const LinkProtocol kTextEngineLink;
extern const LinkProtocol kSsiEngine3Link;
extern const LinkProtocol kSsiEngine4Link;
extern const LinkProtocol kAsciiModuleLink;
extern const LinkProtocol kHexModuleLink;

}  // namespace reader
