#include "rfid/tag_cycle.h"

#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/port_lock_guard.h"
#include "core/tag_type.h"
#include "platform/clock.h"
#include "rfid/module_port_reopen.h"
#include "rfid/protocol_select.h"
#include "rfid/tag_block.h"
#include "rfid/tag_detection.h"
#include "rfid/tag_reading.h"

namespace reader {

namespace {

constexpr int kProtocolRotation[] = {TagType::Iso15693, TagType::MifareFamily, TagType::Tagit, TagType::Iso14443B};
constexpr int kProtocolCount = static_cast<int>(sizeof kProtocolRotation / sizeof kProtocolRotation[0]);
constexpr int kDetectionsPerProtocol = 2;
constexpr std::uint32_t kDetectionPauseMs = 100;

void storeRequest(DeviceChannel &channel, int start, int length, const ByteString &key) {
  channel.readStart = start;
  channel.readLength = length;
  channel.tagKey = key;
}

// A tag found, and whether its data read gave up on block answers of the
// wrong length (which the tag's result does not show: it has no data then).
bool detectTag(DeviceChannel &channel, ScanResult &candidate, bool &wrongBlockLength) {
  TagReading reading(channel);
  if (!reading.switchOn() || !readTag(channel, candidate)) return false;
  wrongBlockLength = channel.lastError == ChannelError::WrongBlockLength;
  return true;
}

void accept(DeviceChannel &channel, ScanResult &candidate, ScanResult &out) {
  out = candidate;
  channel.result.set(std::move(candidate));
}

bool asciiModuleCycle(DeviceChannel &channel, ScanResult &out, bool &wrongBlockLength) {
  ScanResult candidate;
  if (!detectTag(channel, candidate, wrongBlockLength)) return false;
  accept(channel, candidate, out);
  return true;
}

// The position of the selected protocol in the rotation; one not in it
// (none selected yet) starts with the first.
int rotationStart(int selector) {
  for (int i = 0; i < kProtocolCount; ++i)
    if (kProtocolRotation[i] == selector) return i;
  return 0;
}

bool hexModuleCycle(DeviceChannel &channel, ScanResult &out, bool &wrongBlockLength) {
  const int first = rotationStart(channel.protocolSelector);
  for (int i = 0; i < kProtocolCount; ++i) {
    const int protocol = kProtocolRotation[(first + i) % kProtocolCount];
    if (channel.protocolSelector != protocol) {
      channel.protocolSelector = protocol;
      if (!selectProtocol(channel)) return false;
    }
    for (int attempt = 0; attempt < kDetectionsPerProtocol; ++attempt) {
      // A close waiting for the port ends the cycle instead of waiting for
      // every remaining detection.
      if (channel.closing != 0) return false;
      ScanResult candidate;
      if (detectTag(channel, candidate, wrongBlockLength)) {
        accept(channel, candidate, out);
        channel.idleWake.release();
        return true;
      }
      platform::sleepMs(kDetectionPauseMs);
    }
  }
  return false;
}

}  // namespace

bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out) {
  bool wrongBlockLength = false;
  return rfidReadCycle(device, start, length, key, out, wrongBlockLength);
}

bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out,
                   bool &wrongBlockLength) {
  wrongBlockLength = false;
  DeviceChannel &channel = device.rfid;
  if (device.rfidPresent == 0) return false;
  PortLockGuard lock(channel);
  // The module may have been halted while this cycle waited for the port.
  if (!lock.held() || device.rfidPresent == 0) return false;
  channel.lastError = 0;
  switch (channel.kind) {
    case DeviceKind::AsciiModule:
      storeRequest(channel, start, length, key);
      return asciiModuleCycle(channel, out, wrongBlockLength);
    case DeviceKind::HexModule:
      if (!reopenRfidPort(channel)) return false;
      storeRequest(channel, start, length, key);
      return hexModuleCycle(channel, out, wrongBlockLength);
    default:
      return false;
  }
}

}  // namespace reader
