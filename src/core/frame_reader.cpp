#include "core/frame_reader.h"

namespace reader {

std::uint64_t lineTimeMs(std::uint64_t bytes, int bitsPerSecond) {
  const std::uint64_t speed = bitsPerSecond > 0 ? static_cast<std::uint64_t>(bitsPerSecond) : 9600;
  return (bytes * kBitsPerByte * 1000 + speed - 1) / speed;
}

bool readPortByte(const PortLock &lock, std::uint8_t &out, std::uint32_t timeoutMs) {
  DeviceChannel &channel = lock.channel();
  out = 0;
  auto port = channel.port.get();
  if (!port) {
    channel.lastError = platform::invalidPortError();
    return false;
  }
  platform::ErrorCode error = 0;
  if (port->readByte(out, timeoutMs, error) == platform::ReadStatus::Byte) return true;
  channel.lastError = error;
  return false;
}

bool skipFrameTail(const PortLock &lock, FrameReader &reader, std::uint8_t terminator) {
  DeviceChannel &channel = lock.channel();
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

bool giveUpFrame(const PortLock &lock, FrameReader &reader) {
  DeviceChannel &channel = lock.channel();
  reader.discardInputIfStillTalking();
  if (reader.givenUpMidFrame()) channel.frameTailPending = 1;
  return false;
}

}  // namespace reader
