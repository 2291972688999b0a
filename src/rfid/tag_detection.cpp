#include "rfid/tag_detection.h"

#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "rfid/hex_field.h"
#include "rfid/module_answer.h"
#include "rfid/module_status.h"
#include "rfid/tag_data_read.h"
#include "rfid/tag_naming.h"

namespace reader {

namespace {

// The ASCII module reports a tag as one line, its family letter and the UID
// in hexadecimal, and a failure as one status letter.
constexpr int kAsciiModuleTagWaitMs = 3000;
// The hex-frame module answers the detection frame at once.
constexpr int kHexModuleTagWaitMs = 1000;

bool noTag(DeviceChannel &channel, ScanResult &out) {
  out.data.reset();
  channel.lastError = ChannelError::NoTag;
  return false;
}

bool readAsciiModuleTag(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  if (!readFrame(channel, out.data, kAsciiModuleTagWaitMs, false, cancel)) return false;
  if (out.data.empty()) return noTag(channel, out);
  if (out.data.length() == 1) {
    const std::uint32_t status = moduleStatusError(out.data);
    channel.lastError = status != 0 ? status : ChannelError::ModuleOther;
    return false;
  }
  // A line whose rest is not a UID is noise, not a tag.
  ByteString uid;
  out.data.copyRange(1, out.data.length() - 1, uid);
  if (!isHexText(uid)) return noTag(channel, out);
  nameTag(channel, out);
  // An ISO 15693 line too short for its maker's code is named by no family
  // and keeps its letter: a garbled line, never a tag with that UID.
  if (!isHexText(out.data)) return noTag(channel, out);
  readTagData(channel, out);
  return true;
}

bool readHexModuleTag(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  ByteString answer, payload;
  if (!readFrame(channel, answer, kHexModuleTagWaitMs, false, cancel)) return false;
  const int selector = channel.protocolSelector;
  if (!parseModuleAnswer(selector, answer, AnswerMode::Uid, payload)) return noTag(channel, out);
  int infoByte = 0;
  int blockCount = 0;
  // An answer without a UID is no tag.
  if (!extractTagUid(selector, payload, out.data, infoByte, blockCount) || !isHexText(out.data))
    return noTag(channel, out);
  channel.tagInfoByte = infoByte;
  channel.tagBlockCount = blockCount;
  nameTag(channel, out);
  readTagData(channel, out);
  return true;
}

}  // namespace

bool readTag(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel) {
  out = ScanResult();
  switch (channel.kind) {
    case DeviceKind::AsciiModule: return readAsciiModuleTag(channel, out, cancel);
    case DeviceKind::HexModule: return readHexModuleTag(channel, out, cancel);
    default: return false;
  }
}

}  // namespace reader
