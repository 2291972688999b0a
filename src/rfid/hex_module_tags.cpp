// The hex-frame RFID module's tag protocol: a detection frame per tag
// family (the module is set to one family at a time, and a read cycle goes
// round them), a tag's UID in the fields of the answer, block frames for the
// families that have them, and a port the idle close may have shut.
#include <cstdint>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/decode_naming.h"
#include "core/hex_module_frames.h"
#include "core/hex_text.h"
#include "core/serial_channel.h"
#include "core/tag_type.h"
#include "platform/clock.h"
#include "rfid/hex_field.h"
#include "rfid/module_answer.h"
#include "rfid/module_frame.h"
#include "rfid/module_port_reopen.h"
#include "rfid/protocol_select.h"
#include "rfid/tag_data_read.h"
#include "rfid/tag_detection.h"
#include "rfid/tag_protocol.h"

namespace reader {

namespace {

constexpr int kCommandTimeoutMs = 1000;
// The module answers the detection frame at once.
constexpr int kTagWaitMs = 1000;
constexpr int kBlockTimeoutMs = 1000;
constexpr int kReadAttempts = 2;
constexpr int kWriteAttempts = 3;

constexpr int kProtocolRotation[] = {TagType::Iso15693, TagType::MifareFamily, TagType::Tagit, TagType::Iso14443B};
constexpr int kProtocolCount = static_cast<int>(sizeof kProtocolRotation / sizeof kProtocolRotation[0]);
constexpr int kDetectionsPerProtocol = 2;
constexpr std::uint32_t kDetectionPauseMs = 100;

bool switchOn(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  const HexModuleFrame::Family *family = HexModuleFrame::family(channel.protocolSelector);
  if (family == nullptr || !sendCommand(lock, family->detect, kCommandTimeoutMs, nullptr, 0)) return false;
  channel.scanOn = 1;
  return true;
}

bool switchReading(const PortLock &lock, bool on) {
  DeviceChannel &channel = lock.channel();
  if (on) return switchOn(lock);
  channel.scanOn = 0;
  return true;
}

// The module reports no family; the protocol it was set to names the tag.
constexpr int kHexModuleFamilies[] = {TagType::MifareFamily, TagType::Iso14443B, TagType::Tagit, TagType::Iso15693};

void nameHexModule(const DeviceChannel &channel, ScanResult &result) {
  const int selector = channel.protocolSelector;
  result.code = selector;
  result.name.assign(kUnknownTypeName);
  for (int family : kHexModuleFamilies)
    if (family == selector) result.name.assign(tagTypeName(family));
}

bool readModuleTag(const PortLock &lock, ScanResult &out, const TagRequest &request, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  ByteString answer, payload;
  if (!readFrame(lock, answer, kTagWaitMs, false, cancel)) return false;
  const int selector = channel.protocolSelector;
  if (!parseModuleAnswer(selector, answer, AnswerMode::Uid, payload)) return noTag(channel, out);
  int infoByte = 0;
  int blockCount = 0;
  // An answer without a UID is no tag.
  if (!extractTagUid(selector, payload, out.data, infoByte, blockCount) || !isHexText(out.data))
    return noTag(channel, out);
  nameHexModule(channel, out);
  readTagData(lock, out, request, TagDetection{infoByte, blockCount});
  return true;
}

// The position of the selected protocol in the rotation; one not in it
// (none selected yet) starts with the first.
int rotationStart(int selector) {
  for (int i = 0; i < kProtocolCount; ++i)
    if (kProtocolRotation[i] == selector) return i;
  return 0;
}

bool cycle(const PortLock &lock, ScanResult &out, const TagRequest &request, bool &wrongBlockLength) {
  DeviceChannel &channel = lock.channel();
  const int first = rotationStart(channel.protocolSelector);
  for (int i = 0; i < kProtocolCount; ++i) {
    const int protocol = kProtocolRotation[(first + i) % kProtocolCount];
    if (channel.protocolSelector != protocol) {
      channel.protocolSelector = protocol;
      if (!selectProtocol(lock)) return false;
    }
    for (int attempt = 0; attempt < kDetectionsPerProtocol; ++attempt) {
      // A close waiting for the port ends the cycle instead of waiting for
      // every remaining detection.
      if (channel.closing != 0) return false;
      ScanResult candidate;
      if (detectTag(lock, candidate, request, wrongBlockLength)) {
        acceptTag(channel, candidate, out);
        channel.idleWake.release();
        return true;
      }
      platform::sleepMs(kDetectionPauseMs);
    }
  }
  return false;
}

bool readBlock(const PortLock &lock, int tagType, int block, ByteString &bytes) {
  DeviceChannel &channel = lock.channel();
  ByteString frame = blockReadFrame(tagType, block);
  if (frame.empty()) return false;
  ByteString answer, payload;
  if (!sendCommand(lock, frame, kBlockTimeoutMs, &answer, kReadAttempts)) return false;
  // After an error flag come the tag's error code, not block bytes.
  if (tagType == TagType::Iso15693 && isIso15693ErrorReply(answer)) return noTagFound(channel);
  if (!parseModuleAnswer(tagType, answer, AnswerMode::Data, payload)) return noTagFound(channel);
  if (tagType == TagType::Tagit) {
    if (!realignTagitBlock(payload, bytes)) return noTagFound(channel);
  } else {
    bytes = std::move(payload);
  }
  return !bytes.empty() || noTagFound(channel);
}

// The module answers a write with the tag's reply in a field; without one the
// tag did not answer (it left the field), and nothing is taken as written.
// An ISO 15693 tag that refuses the write (a locked block) replies with the
// error flag set, and the block keeps its old bytes.
bool writeBlock(const PortLock &lock, int tagType, int block, const ByteString &blockBytes) {
  DeviceChannel &channel = lock.channel();
  ByteString frame = blockWriteFrame(tagType, block, blockBytes);
  if (frame.empty()) return false;
  ByteString answer;
  if (!sendCommand(lock, frame, kBlockTimeoutMs, &answer, kWriteAttempts)) return false;
  if (!answerHasField(answer)) return noTagFound(channel);
  return tagType != TagType::Iso15693 || !isIso15693ErrorReply(answer) || noTagFound(channel);
}

// The hex-frame module names a tag by its air protocol only, and ISO 15693
// tags come with 4- and 8-byte blocks: theirs is read from block 0.
constexpr FixedBlockSize kBlockSizes[] = {
    {TagType::MifareFamily, 16},
    {TagType::Tagit, 4},
    {TagType::Iso14443B, 4},
};

// The module has block commands for these families only.
bool writable(int tagType) { return tagType == TagType::Tagit || tagType == TagType::Iso15693; }

}  // namespace

constinit const TagProtocol kHexModuleTags = {
    .prepare = reopenRfidPort,
    .switchReading = switchReading,
    .readTag = readModuleTag,
    .name = nameHexModule,
    .cycle = cycle,
    .readBlock = readBlock,
    .writeBlock = writeBlock,
    .blockReadIsExact = true,
    .fixedBlockSizes = kBlockSizes,
    .writable = writable,
};

}  // namespace reader
