// Reading one frame from a channel's port, byte by byte, within the waits
// and bounds of the kind's framing: the machinery every kind's frame reading
// (in its link file) is built from.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/port_lock.h"
#include "core/serial_channel.h"
#include "platform/clock.h"

namespace reader {

// Bits on the line per byte: start, 8 data, stop.
inline constexpr std::uint64_t kBitsPerByte = 10;
// Beyond the bytes' own time: the system's latency in handing them over.
inline constexpr std::uint64_t kFrameSlackMs = 50;

// A text engine's decode: the frame bound, and room for the rest of a frame
// just over it to be read and dropped.
inline constexpr std::uint32_t kLongestDecode = kMaxFrameBytes + kMaxFrameBytes / 8;

// Milliseconds that `bytes` take on the line at `bitsPerSecond`, rounded up.
std::uint64_t lineTimeMs(std::uint64_t bytes, int bitsPerSecond);

// Reads one byte from the channel's port, waiting up to `timeoutMs`. The
// wait goes with the read: nothing is stored in the port for it.
bool readPortByte(const PortLock &lock, std::uint8_t &out, std::uint32_t timeoutMs);

// Reads the bytes of one frame. The first `waitingReads` bytes wait for the
// caller's time-out, the rest for the inter-byte gap; and the whole frame
// must be in before a deadline: the caller's time-out plus the time the
// longest frame expected takes at the line speed. So a device that keeps
// sending, a byte just within every gap, holds the port no longer than a
// real answer would. Before every byte the reader looks whether the wait is
// to end: the channel is closing (halt, unload), or the caller's flags ask
// (a trigger release).
class FrameReader {
 public:
  FrameReader(const PortLock &lock, int firstByteTimeoutMs, int gapMs, std::uint32_t longestFrame, int waitingReads = 1,
              const WaitCancel *cancel = nullptr)
      : lock_(lock),
        firstByteTimeoutMs_(std::max(firstByteTimeoutMs, 0)),
        gapMs_(gapMs),
        waitingReads_(waitingReads),
        cancel_(cancel),
        deadline_(platform::monotonicMs() + static_cast<std::uint64_t>(firstByteTimeoutMs_) +
                  lineTimeMs(longestFrame, lock.channel().baudRate) + kFrameSlackMs) {}

  // Why the last next() gave no byte.
  enum class Stop { None, Silence, Failed, Deadline, Cancelled };

  bool next(std::uint8_t &byte) {
    const bool waiting = reads_ < waitingReads_;
    ++reads_;
    return readByteWithin(waiting ? firstByteTimeoutMs_ : gapMs_, byte);
  }

  // A byte that follows the one before within the gap: the tail of a frame
  // given up earlier, which arrives at once if at all. It counts as no byte
  // of the frame being read.
  bool nextOfTail(std::uint8_t &byte) {
    if (!readByteWithin(gapMs_, byte)) return false;
    --bytesRead_;
    return true;
  }

  // Every byte read, kept or not, counts against the bound.
  bool exhausted() const { return bytesRead_ >= kMaxFrameBytes; }
  Stop stopped() const { return stop_; }

  // A frame over the bound is rejected whole: the rest of it is read and
  // dropped up to its end (the terminator, or the line falling silent when
  // the kind has none), so that its tail is never taken for a frame of its
  // own.
  void dropRestOfFrame(int terminator) {
    std::uint8_t byte = 0;
    while (next(byte)) {
      if (terminator >= 0 && byte == terminator) return;
    }
  }

  // The frame was given up while the device may still be sending it.
  void discardInputIfStillTalking() {
    if (stop_ != Stop::Deadline && stop_ != Stop::Cancelled) return;
    if (auto port = lock_.channel().port.get()) port->purge(platform::PurgeScope::Input);
  }

  // Given up in its middle: the rest of the frame may still be on its way.
  bool givenUpMidFrame() const { return bytesRead_ > 0 && (stop_ == Stop::Deadline || stop_ == Stop::Cancelled); }

 private:
  // How often a cancellable wait looks at its flags. A byte that arrives
  // ends the wait at once; only the cancellation waits for the next look.
  static constexpr int kCancelLookMs = 20;

  bool endRequested() const { return lock_.channel().closing != 0 || (cancel_ != nullptr && cancel_->requested()); }

  bool readByteWithin(int timeoutMs, std::uint8_t &byte) {
    stop_ = Stop::None;
    if (endRequested()) return stop(Stop::Cancelled);
    const std::uint64_t now = platform::monotonicMs();
    if (now >= deadline_) return stop(Stop::Deadline);
    const auto left = static_cast<int>(std::min<std::uint64_t>(deadline_ - now, 0x7FFFFFFF));
    const int wait = std::min(timeoutMs, left);
    const bool ok = cancel_ != nullptr ? readCancellable(wait, byte) : readWithin(wait, byte);
    if (ok) {
      ++bytesRead_;
      return true;
    }
    if (stop_ != Stop::None) return false;
    if (lock_.channel().lastError != 0) return stop(Stop::Failed);
    return stop(platform::monotonicMs() >= deadline_ && wait == left ? Stop::Deadline : Stop::Silence);
  }

  bool stop(Stop why) {
    stop_ = why;
    // Ended, as a time-out is, without a system error.
    if (why == Stop::Cancelled || why == Stop::Deadline) lock_.channel().lastError = 0;
    return false;
  }

  bool readWithin(int timeoutMs, std::uint8_t &byte) {
    return readPortByte(lock_, byte, static_cast<std::uint32_t>(std::max(timeoutMs, 0)));
  }

  bool readCancellable(int timeoutMs, std::uint8_t &byte) {
    const std::uint64_t until = platform::monotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
      const std::uint64_t now = platform::monotonicMs();
      const int slice = static_cast<int>(std::min<std::uint64_t>(until > now ? until - now : 0, kCancelLookMs));
      if (readWithin(slice, byte)) return true;
      if (lock_.channel().lastError != 0 || platform::monotonicMs() >= until) return false;
      if (endRequested()) return stop(Stop::Cancelled);
    }
  }

  const PortLock &lock_;
  int firstByteTimeoutMs_;
  int gapMs_;
  int waitingReads_;
  const WaitCancel *cancel_;
  std::uint64_t deadline_;
  int reads_ = 0;
  std::uint32_t bytesRead_ = 0;
  Stop stop_ = Stop::None;
};

// What is left of a frame given up in its middle (a released trigger, a
// deadline) is no frame of its own: whatever of it still arrives, each byte
// within the gap of the one before, is dropped up to its terminator, within
// the deadline of the read that comes upon it. A line silent for the gap has
// no such tail. False when the tail did not end in time.
bool skipFrameTail(const PortLock &lock, FrameReader &reader, std::uint8_t terminator);

// A terminated frame that ended without its terminator. Given up while the
// device may still be sending it, what has arrived is discarded, and the
// next read drops what is left of it.
bool giveUpFrame(const PortLock &lock, FrameReader &reader);

// The frame ends at `terminator`; `keep` says whether a byte is stored (the
// terminator never is).
template <class Keep>
bool readTerminatedFrame(const PortLock &lock, FrameReader &reader, ByteString &out, std::uint8_t terminator,
                         Keep keep) {
  DeviceChannel &channel = lock.channel();
  if (channel.frameTailPending != 0 && !skipFrameTail(lock, reader, terminator)) return false;
  std::uint8_t b = 0;
  bool first = true;
  while (!reader.exhausted()) {
    if (!reader.next(b)) return giveUpFrame(lock, reader);
    if (b == terminator) return true;
    if (keep(b, first)) out.append(b);
    first = false;
  }
  reader.dropRestOfFrame(terminator);
  return giveUpFrame(lock, reader);
}

}  // namespace reader
