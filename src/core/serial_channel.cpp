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

// Reads bytes for one frame, keeping the per-byte time-out switching in one
// place: the first `waitingReads` bytes wait for the caller's time-out, the
// rest for the inter-byte gap.
class FrameReader {
 public:
  FrameReader(DeviceChannel &channel, int firstByteTimeoutMs, int gapMs, int waitingReads = 1,
              const WaitCancel *cancel = nullptr)
      : channel_(channel), firstByteTimeoutMs_(firstByteTimeoutMs), gapMs_(gapMs),
        waitingReads_(waitingReads), cancel_(cancel) {}

  bool next(std::uint8_t &byte) {
    const bool waiting = reads_ < waitingReads_;
    ++reads_;
    const bool ok = waiting && cancel_ != nullptr ? readCancellable(byte) : readWithin(firstOrGap(waiting), byte);
    if (ok) ++bytesRead_;
    return ok;
  }

  // Every byte read, kept or not, counts against the bound.
  bool exhausted() const { return bytesRead_ >= kMaxFrameBytes; }

 private:
  // How often a cancellable wait looks at its flag. A byte that arrives ends
  // the wait at once; only the cancellation waits for the next look.
  static constexpr int kCancelLookMs = 20;

  int firstOrGap(bool waiting) const { return waiting ? firstByteTimeoutMs_ : gapMs_; }

  bool readWithin(int timeoutMs, std::uint8_t &byte) {
    setTimeout(channel_, timeoutMs, 'r');
    return readByte(channel_, byte);
  }

  bool readCancellable(std::uint8_t &byte) {
    const std::uint64_t deadline = platform::monotonicMs() + static_cast<std::uint64_t>(std::max(firstByteTimeoutMs_, 0));
    for (;;) {
      if (cancel_->requested()) {
        channel_.lastError = 0;  // ended, as a time-out is, without a system error
        return false;
      }
      const std::uint64_t now = platform::monotonicMs();
      const int slice = static_cast<int>(std::min<std::uint64_t>(deadline > now ? deadline - now : 0, kCancelLookMs));
      if (readWithin(slice, byte)) return true;
      if (channel_.lastError != 0 || platform::monotonicMs() >= deadline) return false;
    }
  }

  DeviceChannel &channel_;
  int firstByteTimeoutMs_;
  int gapMs_;
  int waitingReads_;
  const WaitCancel *cancel_;
  int reads_ = 0;
  std::uint32_t bytesRead_ = 0;
};

bool readTextEngineFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs,
                         const WaitCancel *cancel) {
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs, 1, cancel);
  std::uint8_t b = 0;
  bool first = true;
  while (!reader.exhausted()) {
    if (!reader.next(b)) return false;
    if (first && b == kEsc) {
      first = false;
      continue;
    }
    first = false;
    if (b == kCr) return true;
    out.append(b);
  }
  return false;
}

bool readSsiAnswer(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs) {
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs);
  std::uint8_t length = 0;
  if (!reader.next(length)) return false;
  out.append(length);
  // The two checksum bytes that follow stay in the port; the next write
  // purges them.
  for (int i = 1; i < length; ++i) {
    std::uint8_t b = 0;
    if (!reader.next(b)) return false;
    out.append(b);
  }
  return true;
}

bool readSsiDecode(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs,
                   const WaitCancel *cancel) {
  // The acknowledgement's checksum is already waiting; the decode's length
  // byte comes whenever the engine decodes, so it too gets the caller's wait.
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs, 3, cancel);
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

bool readAsciiModuleFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs) {
  FrameReader reader(channel, firstByteTimeoutMs, kInterByteGapMs);
  std::uint8_t b = 0;
  while (!reader.exhausted()) {
    if (!reader.next(b)) return false;
    if (b == 0) continue;
    if (b == kLf) {
      if (!out.empty() && out.at(out.length() - 1) == kCr) out.popBack();
      return true;
    }
    out.append(b);
  }
  return false;
}

bool readHexModuleFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs) {
  FrameReader reader(channel, firstByteTimeoutMs, kHexModuleGapMs);
  std::uint8_t b = 0;
  if (!reader.next(b)) return false;
  out.append(b);
  while (!reader.exhausted()) {
    if (!reader.next(b)) return true;  // the gap ends the frame
    out.append(b);
  }
  return false;
}

}  // namespace

bool openPort(DeviceChannel &channel) {
  platform::ErrorCode error = 0;
  if (channel.device.unloading != 0) {
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
  if (!port) {
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
  platform::ErrorCode error = 0;
  const platform::ReadStatus status = port->readByte(out, error);
  if (status == platform::ReadStatus::Byte) return true;
  failWith(channel, error);
  return false;
}

bool readFrame(DeviceChannel &channel, ByteString &out, int firstByteTimeoutMs, bool decode,
               const WaitCancel *cancel) {
  out.reset();
  bool ok = false;
  switch (channel.kind) {
    case DeviceKind::TextEngine:
      ok = readTextEngineFrame(channel, out, firstByteTimeoutMs, cancel);
      break;
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
      ok = decode ? readSsiDecode(channel, out, firstByteTimeoutMs, cancel)
                  : readSsiAnswer(channel, out, firstByteTimeoutMs);
      break;
    case DeviceKind::AsciiModule:
      ok = readAsciiModuleFrame(channel, out, firstByteTimeoutMs);
      break;
    case DeviceKind::HexModule:
      ok = readHexModuleFrame(channel, out, firstByteTimeoutMs);
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
  if (mode != 0 && mode != 1) return;
  auto port = channel.port.get();
  std::uint32_t status = 0;
  const bool queried = platform::queryEngineLineStatus(status);
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
      if (platform::queryEngineLineStatus(status) && status == 0) break;
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
    if (platform::queryEngineLineStatus(status) && status == 1) break;
  }
}

}  // namespace reader
