#include "core/serial_channel.h"

#include <algorithm>
#include <vector>

#include "core/device_kind.h"
#include "core/reader_device.h"
#include "core/serial_trace.h"
#include "platform/clock.h"
#include "platform/engine_line_status.h"

namespace reader {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

void failWith(DeviceChannel &channel, platform::ErrorCode error) { channel.lastError = error; }

// Bits on the line per byte: start, 8 data, stop.
constexpr std::uint64_t kBitsPerByte = 10;
// Beyond the bytes' own time: the system's latency in handing them over.
constexpr std::uint64_t kFrameSlackMs = 50;

// The longest frame each kind sends in answer to a command: the text engine's
// configuration block as hexadecimal text, an SSI packet (its length byte
// says at most 255), a module's line or bracketed fields.
std::uint32_t longestAnswer(int kind) {
  switch (kind) {
    case DeviceKind::TextEngine: return 1024;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4: return 2 + 255;  // a decode's leftover checksum, then the packet
    case DeviceKind::AsciiModule: return 256;
    default: return 512;
  }
}

// A text engine's decode: the frame bound, and room for the rest of a frame
// just over it to be read and dropped.
constexpr std::uint32_t kLongestDecode = kMaxFrameBytes + kMaxFrameBytes / 8;

// Milliseconds that `bytes` take on the line at `bitsPerSecond`, rounded up.
std::uint64_t lineTimeMs(std::uint64_t bytes, int bitsPerSecond) {
  const std::uint64_t speed = bitsPerSecond > 0 ? static_cast<std::uint64_t>(bitsPerSecond) : 9600;
  return (bytes * kBitsPerByte * 1000 + speed - 1) / speed;
}

// Reads one byte from the channel's port, waiting up to `timeoutMs`. The
// wait goes with the read: nothing is stored in the port for it.
bool readPortByte(DeviceChannel &channel, std::uint8_t &out, std::uint32_t timeoutMs) {
  out = 0;
  auto port = channel.port.get();
  if (!port) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  platform::ErrorCode error = 0;
  if (port->readByte(out, timeoutMs, error) == platform::ReadStatus::Byte) return true;
  failWith(channel, error);
  return false;
}

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
  FrameReader(DeviceChannel &channel, int firstByteTimeoutMs, int gapMs, std::uint32_t longestFrame,
              int waitingReads = 1, const WaitCancel *cancel = nullptr)
      : channel_(channel), firstByteTimeoutMs_(std::max(firstByteTimeoutMs, 0)), gapMs_(gapMs),
        waitingReads_(waitingReads), cancel_(cancel),
        deadline_(platform::monotonicMs() + static_cast<std::uint64_t>(firstByteTimeoutMs_) +
                  lineTimeMs(longestFrame, channel.baudRate) + kFrameSlackMs) {}

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
    if (auto port = channel_.port.get()) port->purge(platform::PurgeScope::Input);
  }

  // Given up in its middle: the rest of the frame may still be on its way.
  bool givenUpMidFrame() const { return bytesRead_ > 0 && (stop_ == Stop::Deadline || stop_ == Stop::Cancelled); }

 private:
  // How often a cancellable wait looks at its flags. A byte that arrives
  // ends the wait at once; only the cancellation waits for the next look.
  static constexpr int kCancelLookMs = 20;

  bool endRequested() const { return channel_.closing != 0 || (cancel_ != nullptr && cancel_->requested()); }

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
    if (channel_.lastError != 0) return stop(Stop::Failed);
    return stop(platform::monotonicMs() >= deadline_ && wait == left ? Stop::Deadline : Stop::Silence);
  }

  bool stop(Stop why) {
    stop_ = why;
    // Ended, as a time-out is, without a system error.
    if (why == Stop::Cancelled || why == Stop::Deadline) channel_.lastError = 0;
    return false;
  }

  bool readWithin(int timeoutMs, std::uint8_t &byte) {
    return readPortByte(channel_, byte, static_cast<std::uint32_t>(std::max(timeoutMs, 0)));
  }

  bool readCancellable(int timeoutMs, std::uint8_t &byte) {
    const std::uint64_t until = platform::monotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
      const std::uint64_t now = platform::monotonicMs();
      const int slice = static_cast<int>(std::min<std::uint64_t>(until > now ? until - now : 0, kCancelLookMs));
      if (readWithin(slice, byte)) return true;
      if (channel_.lastError != 0 || platform::monotonicMs() >= until) return false;
      if (endRequested()) return stop(Stop::Cancelled);
    }
  }

  DeviceChannel &channel_;
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
bool skipFrameTail(DeviceChannel &channel, FrameReader &reader, std::uint8_t terminator) {
  std::uint8_t b = 0;
  while (reader.nextOfTail(b)) {
    if (b == terminator) break;
  }
  const FrameReader::Stop why = reader.stopped();
  if (why == FrameReader::Stop::Deadline || why == FrameReader::Stop::Cancelled) {
    reader.discardInputIfStillTalking();
    return false;
  }
  channel.frameTailPending = 0;
  return true;
}

// A terminated frame that ended without its terminator. Given up while the
// device may still be sending it, what has arrived is discarded, and the
// next read drops what is left of it.
bool giveUpFrame(DeviceChannel &channel, FrameReader &reader) {
  reader.discardInputIfStillTalking();
  if (reader.givenUpMidFrame()) channel.frameTailPending = 1;
  return false;
}

// The frame ends at `terminator`; `keep` says whether a byte is stored (the
// terminator never is).
template <class Keep>
bool readTerminatedFrame(DeviceChannel &channel, FrameReader &reader, ByteString &out, std::uint8_t terminator,
                         Keep keep) {
  if (channel.frameTailPending != 0 && !skipFrameTail(channel, reader, terminator)) return false;
  std::uint8_t b = 0;
  bool first = true;
  while (!reader.exhausted()) {
    if (!reader.next(b)) return giveUpFrame(channel, reader);
    if (b == terminator) return true;
    if (keep(b, first)) out.append(b);
    first = false;
  }
  reader.dropRestOfFrame(terminator);
  return giveUpFrame(channel, reader);
}

bool readTextEngineFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, bool decode,
                         const WaitCancel *cancel) {
  // Only a decode may be long: a barcode can hold any amount of data.
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs,
                     decode ? kLongestDecode : longestAnswer(DeviceKind::TextEngine), 1, cancel);
  // A first byte ESC is not part of the text.
  return readTerminatedFrame(channel, reader, out, kCr,
                             [](std::uint8_t b, bool first) { return !(first && b == kEsc); });
}

bool readSsiAnswer(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, const WaitCancel *cancel) {
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs, longestAnswer(channel.kind), 1, cancel);
  std::uint8_t length = 0;
  if (!reader.next(length)) return false;
  out.append(length);
  // The two checksum bytes that follow stay in the port; the next write
  // purges them.
  for (int i = 1; i < length; ++i) {
    std::uint8_t b = 0;
    if (!reader.next(b)) {
      reader.discardInputIfStillTalking();
      return false;
    }
    out.append(b);
  }
  return true;
}

bool readSsiDecodePacket(FrameReader &reader, ByteString &out) {
  std::uint8_t b = 0;
  // The checksum of the start-decode acknowledgement, left by its answer read.
  if (!reader.next(b) || !reader.next(b)) return false;
  std::uint8_t lengthByte = 0;
  if (!reader.next(lengthByte)) return false;
  int remaining = lengthByte;
  std::uint8_t opcode = 0;
  if (!reader.next(opcode) || opcode != 0xF3) return false;
  if (!reader.next(b) || !reader.next(b)) return false;  // source and status
  remaining -= 4;
  std::uint8_t type = 0;
  if (!reader.next(type)) return false;
  remaining -= 1;
  if (type != 0x99) {
    out.append(type);
    for (int i = 0; i < remaining; ++i) {
      if (!reader.next(b)) return false;
      out.append(b);
    }
    return true;
  }
  // Multipacket form: the real type, one byte to skip, then the data in which
  // a zero byte is followed by two bytes that are not data.
  std::uint8_t realType = 0;
  if (!reader.next(realType)) return false;
  out.append(realType);
  remaining -= 1;
  if (!reader.next(b)) return false;
  remaining -= 1;
  int count = 0;
  while (count < remaining) {
    // Every read is checked: a time-out fails the frame instead of storing
    // bytes that never came.
    if (!reader.next(b)) return false;
    ++count;
    if (b != 0) {
      out.append(b);
      continue;
    }
    std::uint8_t skipped = 0;
    if (!reader.next(skipped) || !reader.next(skipped)) return false;
    count += 2;
  }
  return true;
}

bool readSsiDecode(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, const WaitCancel *cancel) {
  // The acknowledgement's checksum is already waiting; the decode's length
  // byte comes whenever the engine decodes, so it too gets the caller's wait.
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs, longestAnswer(channel.kind), 3, cancel);
  if (readSsiDecodePacket(reader, out)) return true;
  reader.discardInputIfStillTalking();
  return false;
}

bool readAsciiModuleFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs,
                          const WaitCancel *cancel) {
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs, longestAnswer(DeviceKind::AsciiModule), 1,
                     cancel);
  // Zero bytes are no part of a line.
  if (!readTerminatedFrame(channel, reader, out, kLf, [](std::uint8_t b, bool) { return b != 0; }))
    return false;
  if (!out.empty() && out.at(out.length() - 1) == kCr) out.popBack();
  return true;
}

bool readHexModuleFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs,
                        const WaitCancel *cancel) {
  FrameReader reader(channel, firstByteTimeoutMs, kHexModuleGapMs, longestAnswer(DeviceKind::HexModule), 1,
                     cancel);
  std::uint8_t b = 0;
  if (!reader.next(b)) return false;
  out.append(b);
  while (!reader.exhausted()) {
    if (!reader.next(b)) {
      // Only the line falling silent ends this kind's frame.
      if (reader.stopped() == FrameReader::Stop::Silence) return true;
      reader.discardInputIfStillTalking();
      return false;
    }
    out.append(b);
  }
  reader.dropRestOfFrame(-1);
  reader.discardInputIfStillTalking();
  return false;
}

}  // namespace

bool openPort(DeviceChannel &channel) {
  platform::ErrorCode error = 0;
  if (channel.device.unloading != 0 || channel.closing != 0) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  auto port = platform::SerialPort::open(channel.portNumber, error);
  if (!port) {
    failWith(channel, error);
    traceOpenFailure(channel);
    return false;
  }
  port->purge(platform::PurgeScope::Everything);
  channel.frameTailPending = 0;
  channel.port.set(std::move(port));
  ++channel.settingsEpoch;
  traceEvent(channel, "opened");
  return true;
}

void closePort(DeviceChannel &channel) {
  auto port = channel.port.take();
  if (!port) return;
  port->close();
  ++channel.settingsEpoch;
  traceEvent(channel, "closed");
}

bool setBaud(DeviceChannel &channel, int bitsPerSecond) {
  auto port = channel.port.get();
  if (!port) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  channel.baudRate = bitsPerSecond;
  if (const platform::ErrorCode error = port->setSpeed(bitsPerSecond); error != 0) {
    failWith(channel, error);
    return false;
  }
  traceSpeed(channel, bitsPerSecond);
  return true;
}

bool setTimeout(DeviceChannel &channel, int timeoutMs, char selector) {
  auto port = channel.port.get();
  if (!port) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  platform::SerialTimeouts timeouts;
  if (const platform::ErrorCode error = port->getTimeouts(timeouts); error != 0) {
    failWith(channel, error);
    return false;
  }
  const auto value = static_cast<std::uint32_t>(timeoutMs < 0 ? 0 : timeoutMs);
  if (selector == 'r') {
    if (timeouts.readTotalMs == value) return false;
    timeouts.readTotalMs = value;
  } else if (selector == 'w') {
    if (timeouts.writeTotalMs == value) return false;
    timeouts.writeTotalMs = value;
  } else {
    return false;
  }
  if (const platform::ErrorCode error = port->setTimeouts(timeouts); error != 0) {
    failWith(channel, error);
    return false;
  }
  return true;
}

bool writeFrame(DeviceChannel &channel, const ByteString &bytes) {
  auto port = channel.port.get();
  if (!port || channel.closing != 0) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  // Whatever is still unread (an earlier answer's checksum, a late reply)
  // must not be taken for the answer to this command. Output is kept: an
  // earlier command may still be on its way out.
  port->purge(platform::PurgeScope::Input);
  const std::vector<std::uint8_t> data = bytes.toBytes();
  std::size_t written = 0;
  const platform::ErrorCode error = port->write(data.data(), data.size(), written);
  traceFrame(channel, '>', bytes, error == 0 && written > 0);
  if (error != 0) {
    failWith(channel, error);
    return false;
  }
  return written > 0;
}

bool readByte(DeviceChannel &channel, std::uint8_t &out) {
  out = 0;
  auto port = channel.port.get();
  if (!port) {
    failWith(channel, platform::invalidPortError());
    return false;
  }
  platform::SerialTimeouts timeouts;
  if (const platform::ErrorCode error = port->getTimeouts(timeouts); error != 0) {
    failWith(channel, error);
    return false;
  }
  return readPortByte(channel, out, timeouts.readTotalMs);
}

bool readFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, bool decode,
               const WaitCancel *cancel) {
  out.reset();
  bool ok = false;
  switch (channel.kind) {
    case DeviceKind::TextEngine:
      ok = readTextEngineFrame(channel, out, firstByteTimeoutMs, decode, cancel);
      break;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
      ok = decode ? readSsiDecode(channel, out, firstByteTimeoutMs, cancel)
                  : readSsiAnswer(channel, out, firstByteTimeoutMs, cancel);
      break;
    case DeviceKind::AsciiModule:
      ok = readAsciiModuleFrame(channel, out, firstByteTimeoutMs, cancel);
      break;
    case DeviceKind::HexModule:
      ok = readHexModuleFrame(channel, out, firstByteTimeoutMs, cancel);
      break;
    default:
      return false;
  }
  traceFrame(channel, '<', out, ok);
  // Even a cut frame shows that the device is talking.
  if (ok || !out.empty()) ++channel.framesRead;
  return ok;
}

void wakeLine(DeviceChannel &channel, int mode) {
  // A closing port takes no more commands: nothing to wake the engine for.
  if ((mode != 0 && mode != 1) || channel.closing != 0) return;
  auto port = channel.port.get();
  std::uint32_t status = 0;
  const bool queried = platform::queryEngineLineStatus(port.get(), status);
  if (mode == 1) {
    if (port) {
      port->setDtr(false);
      port->setRts(true);
    }
    if (!queried) {
      platform::sleepMs(100);
      return;
    }
    for (int i = 0; i < 10; ++i) {
      platform::sleepMs(10);
      if (platform::queryEngineLineStatus(port.get(), status) && status == 0) break;
    }
    return;
  }
  if (!queried) platform::sleepMs(50);
  if (port) {
    port->setDtr(false);
    port->setRts(false);
  }
  if (!queried) return;
  for (int i = 0; i < 10; ++i) {
    platform::sleepMs(10);
    if (platform::queryEngineLineStatus(port.get(), status) && status == 1) break;
  }
}

}  // namespace reader
