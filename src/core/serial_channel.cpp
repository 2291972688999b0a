#include "core/serial_channel.h"

#include <algorithm>
#include <vector>

#include "core/frame_reader.h"
#include "core/link_protocol.h"
#include "core/reader_device.h"
#include "core/serial_trace.h"
#include "platform/clock.h"
#include "platform/engine_line_status.h"

namespace reader {

namespace {

void failWith(DeviceChannel &channel, platform::ErrorCode error) { channel.lastError = error; }

}  // namespace

bool openPort(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  platform::ErrorCode error = 0;
  if (channel.unloading != 0 || channel.closing != 0) {
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

void closePort(const PortLock &lock) { interruptPort(lock.channel()); }

void interruptPort(DeviceChannel &channel) {
  auto port = channel.port.take();
  if (!port) return;
  port->close();
  ++channel.settingsEpoch;
  traceEvent(channel, "closed");
}

bool setBaud(const PortLock &lock, int bitsPerSecond) {
  DeviceChannel &channel = lock.channel();
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

bool setTimeout(const PortLock &lock, int timeoutMs, char selector) {
  DeviceChannel &channel = lock.channel();
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

bool writeFrame(const PortLock &lock, const ByteString &bytes) {
  DeviceChannel &channel = lock.channel();
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

bool readByte(const PortLock &lock, std::uint8_t &out) {
  DeviceChannel &channel = lock.channel();
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
  return readPortByte(lock, out, timeouts.readTotalMs);
}

bool readFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool decode, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  out.reset();
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr) return false;
  const bool ok = link->readFrame(lock, out, firstByteTimeoutMs, decode, cancel);
  traceFrame(channel, '<', out, ok);
  // Even a cut frame shows that the device is talking.
  if (ok || !out.empty()) ++channel.framesRead;
  return ok;
}

void wakeLine(const PortLock &lock, int mode) {
  DeviceChannel &channel = lock.channel();
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
