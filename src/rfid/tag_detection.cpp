#include "rfid/tag_detection.h"

#include "core/channel_error.h"
#include "rfid/tag_protocol.h"
#include "rfid/tag_reading.h"

namespace reader {

bool readTag(DeviceChannel &channel, ScanResult &out, const TagRequest &request, const WaitCancel *cancel) {
  out = ScanResult();
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && tags->readTag(channel, out, request, cancel);
}

bool detectTag(DeviceChannel &channel, ScanResult &candidate, const TagRequest &request, bool &wrongBlockLength) {
  TagReading reading(channel);
  if (!reading.switchOn() || !readTag(channel, candidate, request)) return false;
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
