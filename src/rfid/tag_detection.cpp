#include "rfid/tag_detection.h"

#include "core/channel_error.h"
#include "rfid/tag_protocol.h"
#include "rfid/tag_reading.h"

namespace reader {

bool readTag(const PortLock &lock, ScanResult &out, const TagRequest &request, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  out = ScanResult();
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && tags->readTag(lock, out, request, cancel);
}

bool detectTag(const PortLock &lock, ScanResult &candidate, const TagRequest &request, bool &wrongBlockLength) {
  DeviceChannel &channel = lock.channel();
  TagReading reading(lock);
  if (!reading.switchOn() || !readTag(lock, candidate, request)) return false;
  wrongBlockLength = channel.lastError == ChannelError::WrongBlockLength;
  return true;
}

void acceptTag(DeviceChannel &channel, ScanResult &candidate, ScanResult &out) {
  out = candidate;
  channel.result.set(std::move(candidate));
}

bool noTag(DeviceChannel &channel, ScanResult &out) {
  out.data.reset();
  return noTagFound(channel);
}

bool noTagFound(DeviceChannel &channel) {
  channel.lastError = ChannelError::NoTag;
  return false;
}

}  // namespace reader
