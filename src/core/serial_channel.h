// Byte-level operations on one channel: its port, speed and time-outs,
// writing a command, reading single bytes and whole frames in the framing of
// the channel's device kind, and the SSI engines' wake line.
//
// A failing operation returns false and leaves the system's error code in
// the channel's lastError. Each takes the channel's port lock as a token
// (PortLock): the caller holds the lock across a whole exchange.
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/port_lock.h"

namespace reader {

// A frame longer than this is not a frame but a device that babbles: the read
// rejects it instead of exhausting memory.
inline constexpr std::uint32_t kMaxFrameBytes = 64 * 1024;

// Inter-byte gaps that end (or bound) a frame.
inline constexpr int kInterByteGapMs = 20;
inline constexpr int kHexModuleGapMs = 40;

// Opens COM<portNumber>: and purges it.
bool openPort(const PortLock &lock);
// Closes the port if it is open; what was written still goes out first.
void closePort(const PortLock &lock);
// The same without the lock, to end the use of the port under way: the
// holder's blocked read or write returns and its next exchange fails.
void interruptPort(DeviceChannel &channel);

// Sets the line speed (8N1); the speed is kept in baudRate even when the
// port refuses it.
bool setBaud(const PortLock &lock, int bitsPerSecond);

// Sets the read ('r') or write ('w') time-out. Returns false, changing
// nothing, when the value is already set or the selector is unknown.
bool setTimeout(const PortLock &lock, int timeoutMs, char selector);

// Discards unread input, then writes all bytes (the low 8 bits of each
// element) behind whatever earlier output is still leaving.
// True when at least one byte was written.
bool writeFrame(const PortLock &lock, const ByteString &bytes);

// Reads one byte within the read time-out.
bool readByte(const PortLock &lock, std::uint8_t &out);

// Flags that end a wait when either is nonzero (a null one is ignored).
struct WaitCancel {
  const std::atomic<int> *first = nullptr;
  const std::atomic<int> *second = nullptr;
  bool requested() const { return (first != nullptr && *first != 0) || (second != nullptr && *second != 0); }
};

// Reads one frame in the framing of the channel's kind. The first byte is
// awaited for firstByteTimeoutMs, later ones for the inter-byte gap, and the
// whole frame must arrive within the first-byte time-out plus the time the
// longest frame expected takes at the link speed: an answer to a command is
// a few hundred bytes at most; `decode` marks a decode, which for the text
// engine may be as long as the frame bound. For the SSI engines `decode`
// selects a decode packet instead of a command answer. On failure `out`
// keeps what arrived.
//
// The read ends early, as a failure, once the channel is closing or `cancel`
// asks (a decode wait that the trigger release ends). A frame over the bound
// is rejected whole: the rest of it is read and dropped up to its end, or
// discarded with the input when the device does not stop.
bool readFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool decode,
               const WaitCancel *cancel = nullptr);

// Asserts (1) or releases (0) the SSI engine's wake line.
void wakeLine(const PortLock &lock, int mode);

}  // namespace reader
